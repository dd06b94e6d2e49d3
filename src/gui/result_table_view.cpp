#include "gui/result_table_view.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <algorithm>

#include "gui/result_table_model.h"

namespace marlowen::gui {

ResultTableView::ResultTableView(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setAlternatingRowColors(true);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(22);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setStretchLastSection(true);
}

bool ResultTableView::isCheckCell(const QModelIndex& index) const {
    const auto* m = qobject_cast<const ResultTableModel*>(model());
    return index.isValid() && m && m->columnIdentifier(index.column()) == QLatin1String(kCheckColumn);
}

void ResultTableView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier &&
        isCheckCell(index) && selectionModel() && selectionModel()->isRowSelected(index.row())) {
        pressedCheck_ = index;
        event->accept();
        return;
    }
    pressedCheck_ = QPersistentModelIndex();
    QTableView::mousePressEvent(event);
}

void ResultTableView::mouseReleaseEvent(QMouseEvent* event) {
    if (pressedCheck_.isValid()) {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index == pressedCheck_) {
            const bool on = index.data(Qt::CheckStateRole).toInt() != Qt::Checked;
            model()->setData(index, on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
        }
        pressedCheck_ = QPersistentModelIndex();
        event->accept();
        return;
    }
    QTableView::mouseReleaseEvent(event);
}

QList<int> ResultTableView::selectedRowNumbers() const {
    QList<int> rows;
    if (!selectionModel()) return rows;
    for (const QModelIndex& i : selectionModel()->selectedRows()) rows.append(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int ResultTableView::shownRow() const {
    if (!selectionModel()) return -1;
    const QModelIndex current = selectionModel()->currentIndex();
    if (current.isValid() && selectionModel()->isRowSelected(current.row())) return current.row();
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constLast().row();
}

void ResultTableView::selectOnlyRow(int row) {
    if (!model() || !selectionModel()) return;
    clearSelection();
    if (row < 0 || row >= model()->rowCount()) return;
    const QModelIndex index = model()->index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

}  // namespace marlowen::gui
