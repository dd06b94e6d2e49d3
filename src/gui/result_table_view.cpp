#include "gui/result_table_view.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
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
    // Tab moves on to the next control rather than through the cells.
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(22);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setStretchLastSection(true);
}

int ResultTableView::checkColumn() const {
    const auto* m = qobject_cast<const ResultTableModel*>(model());
    return m ? m->columnOf(QLatin1String(kCheckColumn)) : -1;
}

bool ResultTableView::isCheckCell(const QModelIndex& index) const {
    return index.isValid() && index.column() == checkColumn();
}

void ResultTableView::toggleCheck(const QModelIndex& index) {
    if (!isCheckCell(index)) return;
    // A box outside the selection stands for its row alone.
    if (!selectionModel()->isRowSelected(index.row())) selectOnlyRow(index.row());
    const bool on = index.data(Qt::CheckStateRole).toInt() != Qt::Checked;
    model()->setData(index, on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
}

void ResultTableView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier &&
        isCheckCell(index) && selectionModel()) {
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
        if (index == pressedCheck_) toggleCheck(index);
        pressedCheck_ = QPersistentModelIndex();
        event->accept();
        return;
    }
    QTableView::mouseReleaseEvent(event);
}

void ResultTableView::mouseDoubleClickEvent(QMouseEvent* event) {
    // A quick second click on a box is a second toggle, not a double-click.
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && isCheckCell(index)) {
        pressedCheck_ = index;
        event->accept();
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

void ResultTableView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && model() &&
        selectionModel()) {
        const int row = currentIndex().isValid() ? currentIndex().row() : shownRow();
        const int column = checkColumn();
        if (row >= 0 && column >= 0) toggleCheck(model()->index(row, column));
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void ResultTableView::setEmptyText(const QString& text) {
    emptyText_ = text;
    viewport()->update();
}

void ResultTableView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (emptyText_.isEmpty() || !model() || model()->rowCount() > 0) return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    painter.drawText(viewport()->rect(), Qt::AlignCenter, emptyText_);
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
    selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

}  // namespace marlowen::gui
