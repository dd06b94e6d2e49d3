#include "gui/result_table_model.h"

namespace marlowen::gui {

QString withoutLeadingBlanks(const QString& text) {
    qsizetype start = 0;
    while (start < text.size() && text.at(start).isSpace()) ++start;
    return start == 0 ? text : text.mid(start);
}

int ResultTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : displayCount();
}

int ResultTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ResultTableModel::data(const QModelIndex& index, int role) const {
    if (!isRowInRange(index)) return {};
    const int row = index.row();
    const bool checkColumn = columnIdentifier(index.column()) == QLatin1String(kCheckColumn);
    switch (role) {
        case Qt::CheckStateRole:
            if (checkColumn) return isChecked(row) ? Qt::Checked : Qt::Unchecked;
            return {};
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            if (checkColumn) return {};
            // Stored names begin with a blank where the first name part is
            // empty; the stored value stays as it is for the exports.
            return withoutLeadingBlanks(text(row, index.column()));
        case Qt::ForegroundRole:
            if (isDeleted(row)) return deletedColour();
            return {};
        default:
            return {};
    }
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section < 0 || section >= static_cast<int>(columns_.size())) return {};
    return columns_[section].title;
}

Qt::ItemFlags ResultTableModel::flags(const QModelIndex& index) const {
    if (!isRowInRange(index)) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (columnIdentifier(index.column()) == QLatin1String(kCheckColumn))
        f |= Qt::ItemIsUserCheckable;
    return f;
}

bool ResultTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole) return false;
    if (!isRowInRange(index)) return false;
    if (columnIdentifier(index.column()) != QLatin1String(kCheckColumn)) return false;
    emit checkBoxClicked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

QString ResultTableModel::columnIdentifier(int column) const {
    if (column < 0 || column >= static_cast<int>(columns_.size())) return {};
    return columns_[column].identifier;
}

int ResultTableModel::columnOf(const QString& identifier) const {
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].identifier == identifier) return static_cast<int>(i);
    return -1;
}

void ResultTableModel::checksChanged() {
    const int rows = rowCount();
    const int column = columnOf(QLatin1String(kCheckColumn));
    if (rows == 0 || column < 0) return;
    emit dataChanged(index(0, column), index(rows - 1, column), {Qt::CheckStateRole});
}

}  // namespace marlowen::gui
