// Table models of the results page: each shows one category's display list
// (all records or only the deleted ones, in the order of the last sort).
// Columns are named by the record fields they show; the check box column
// is "bSelected". A click on a check box is handed to the controller, which
// applies it to every selected row.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace marlowen::gui {

inline constexpr const char* kCheckColumn = "bSelected";

// `text` without the blanks it begins with.
QString withoutLeadingBlanks(const QString& text);

class ResultTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString identifier;  // "bSelected", "Name", "Size" or a record field
        QString title;
    };

    explicit ResultTableModel(std::vector<Column> columns, QObject* parent = nullptr)
        : QAbstractTableModel(parent), columns_(std::move(columns)) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The check box role only: announces the click, changes nothing itself.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    QString columnIdentifier(int column) const;
    int columnOf(const QString& identifier) const;
    // Tells the view that check marks changed.
    void checksChanged();

    virtual bool isChecked(int row) const = 0;
    virtual bool isDeleted(int row) const = 0;
    // Sets a row's mark; true when it changed.
    virtual bool setChecked(int row, bool on) = 0;
    // Shows no rows and lets go of the records.
    virtual void clearDisplayList() = 0;

    static QColor deletedColour() { return QColor(217, 81, 30); }

protected:
    // A valid index of this model inside the current rows and columns.
    bool isRowInRange(const QModelIndex& index) const {
        return index.isValid() && index.model() == this && index.row() < rowCount() &&
               index.column() < columnCount();
    }

public:
signals:
    // The user turned the box of `row` on or off.
    void checkBoxClicked(int row, bool on);

protected:
    virtual int displayCount() const = 0;
    virtual QString text(int row, int column) const = 0;

private:
    std::vector<Column> columns_;
};

// The model of one record type: `Node` is a record class with bSelected().
template <class Node>
class RecordTableModel : public ResultTableModel {
public:
    using Ptr = std::shared_ptr<Node>;
    using Field = std::function<std::string(const Node&)>;
    struct FieldColumn {
        Column column;
        Field field;  // empty for the check box column
    };

    explicit RecordTableModel(std::vector<FieldColumn> columns, QObject* parent = nullptr)
        : ResultTableModel(columnsOf(columns), parent) {
        for (auto& c : columns) fields_.push_back(std::move(c.field));
    }

    const std::vector<Ptr>& displayList() const { return display_; }
    void setDisplayList(std::vector<Ptr> list) {
        beginResetModel();
        display_ = std::move(list);
        endResetModel();
    }
    Ptr nodeAt(int row) const {
        return row >= 0 && row < static_cast<int>(display_.size()) ? display_[row] : nullptr;
    }

    bool isChecked(int row) const override {
        const Ptr node = nodeAt(row);
        return node && node->bSelected();
    }
    bool isDeleted(int row) const override {
        if constexpr (requires(const Node& n) { n.bDeleted(); }) {
            const Ptr node = nodeAt(row);
            return node && node->bDeleted();
        } else {
            (void)row;
            return false;
        }
    }
    bool setChecked(int row, bool on) override {
        const Ptr node = nodeAt(row);
        if (!node || node->bSelected() == on) return false;
        node->setBSelected(on);
        return true;
    }
    void clearDisplayList() override { setDisplayList({}); }

protected:
    int displayCount() const override { return static_cast<int>(display_.size()); }
    QString text(int row, int column) const override {
        const Ptr node = nodeAt(row);
        if (!node || column < 0 || column >= static_cast<int>(fields_.size()) || !fields_[column])
            return {};
        return QString::fromStdString(fields_[column](*node));
    }

private:
    static std::vector<Column> columnsOf(const std::vector<FieldColumn>& columns) {
        std::vector<Column> out;
        for (const auto& c : columns) out.push_back(c.column);
        return out;
    }

    std::vector<Field> fields_;
    std::vector<Ptr> display_;
};

}  // namespace marlowen::gui
