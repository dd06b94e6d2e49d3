// A result table. One click on a row's check box turns it over: when the
// row is part of the selection the change applies to every selected row
// (the controller does that), otherwise the row becomes the selection
// first. Space turns over the current row's box the same way. An empty
// table says so in its viewport.
#pragma once

#include <QPersistentModelIndex>
#include <QTableView>

namespace marlowen::gui {

class ResultTableView : public QTableView {
    Q_OBJECT
public:
    explicit ResultTableView(QWidget* parent = nullptr);

    // The one selected row shown in the preview: the current row when it is
    // selected, else the last selected row; -1 without a selection.
    int shownRow() const;
    QList<int> selectedRowNumbers() const;
    void selectOnlyRow(int row);

    // The width the column's widest shown value needs.
    int contentWidth(int column) const { return sizeHintForColumn(column); }

    // Shown in the viewport while the model has no rows.
    void setEmptyText(const QString& text);
    QString emptyText() const { return emptyText_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool isCheckCell(const QModelIndex& index) const;
    int checkColumn() const;
    void toggleCheck(const QModelIndex& index);
    QPersistentModelIndex pressedCheck_;
    QString emptyText_;
};

}  // namespace marlowen::gui
