// A result table. A click on the check box of a row that is already
// selected leaves the selection as it is, so one click can set the boxes of
// every selected row.
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

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool isCheckCell(const QModelIndex& index) const;
    QPersistentModelIndex pressedCheck_;
};

}  // namespace marlowen::gui
