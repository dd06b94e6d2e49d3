// The result tables' orders and column widths: which heading sorts by
// what, the sort itself with its header indicator, and widths that keep
// dates, durations and the last column in sight.
#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>

#include "gui/result_sorting.h"
#include "gui/zn_result_page.h"

namespace marlowen::gui {

void ZNResultViewController::fitColumns(Page& pg) {
    // Dates and durations are short and fixed in form: give them the room of
    // their longest value so they are never cut.
    for (const char* id : {"messageDate", "callDate", "callType", "callDuration", "noteDate"}) {
        const int column = pg.model->columnOf(QString::fromLatin1(id));
        if (column < 0) continue;
        pg.table->resizeColumnToContents(column);
        const int header = pg.table->horizontalHeader()->sectionSizeHint(column);
        pg.table->setColumnWidth(column, std::max(pg.table->columnWidth(column), header));
    }
    // The name gives up room first (it is cut with an ellipsis and shown
    // whole in the preview), so the last column stays in sight.
    const int name = pg.model->columnOf(QStringLiteral("Name"));
    const int last = pg.model->columnCount() - 1;
    if (name < 0 || name == last) return;
    int others = 0;
    for (int column = 0; column < last; ++column)
        if (column != name) others += pg.table->columnWidth(column);
    others += std::max(pg.table->contentWidth(last),
                       pg.table->horizontalHeader()->sectionSizeHint(last)) +
              pg.table->verticalScrollBar()->sizeHint().width();
    const int room = pg.table->width() - 2 * pg.table->frameWidth() - others;
    pg.table->setColumnWidth(name, std::clamp(room, 56, std::max(56, pg.table->columnWidth(name))));
}

void ZNResultViewController::tableView(ResultTableView* table, int clickedColumn) {
    auto* model = static_cast<ResultTableModel*>(table->model());
    const QString id = model->columnIdentifier(clickedColumn);
    if (id == QLatin1String(kCheckColumn) || id.isEmpty()) return;
    Page* pg = nullptr;
    for (Page& candidate : pages_)
        if (candidate.table == table) pg = &candidate;
    if (!pg) return;

    // The click turns over the direction flag the order shares with the
    // other pages that sort by it.
    const SortChoice choice = pg->sortChoice ? pg->sortChoice(id) : SortChoice{};
    if (!choice.flag) return;
    *choice.flag = !*choice.flag;
    pg->sortColumn = choice.key;
    pg->sortAscending = *choice.flag;
    sortDisplayList(*pg);
    selectFirstRow(*pg);
}

namespace {

template <class Node, class Compare>
void resort(RecordTableModel<Node>* model, bool ascending, Compare compare) {
    auto list = model->displayList();
    sortDisplayList(list, ascending, compare);
    model->setDisplayList(std::move(list));
}

bool isName(const QString& key) {
    return key == QLatin1String("Name");
}

}  // namespace

SortChoice photoSortChoice(const QString& heading) {
    if (isName(heading)) return {heading, &SortFlags::name};
    if (heading == QLatin1String("Size")) return {heading, &SortFlags::size};
    return {};
}

SortChoice byNameSortChoice(const QString&) {
    return {QStringLiteral("Name"), &SortFlags::name};
}

SortChoice callSortChoice(const QString& heading) {
    if (isName(heading)) return {heading, &SortFlags::name};
    return {QStringLiteral("callDate"), &SortFlags::date};
}

Sorter photoSorter(RecordTableModel<ZNPhotoAndVideoNode>* model) {
    return [model](const QString& key, bool up) {
        if (isName(key))
            resort(model, up, [](const auto& a, const auto& b) {
                return compareValues(fileNameNumber(a.fileNodeName()),
                                     fileNameNumber(b.fileNodeName()));
            });
        else
            resort(model, up, [](const auto& a, const auto& b) {
                return compareValues(sizeFormString(a.fileNodeSize()),
                                     sizeFormString(b.fileNodeSize()));
            });
    };
}

Sorter contactSorter(RecordTableModel<ZNContactNode>* model) {
    return [model](const QString&, bool up) {
        resort(model, up, [](const auto& a, const auto& b) {
            return compareNames(a.contactName(), b.contactName());
        });
    };
}

Sorter messageSorter(RecordTableModel<ZNMessageNode>* model) {
    return [model](const QString&, bool up) {
        resort(model, up, [](const auto& a, const auto& b) {
            return compareNames(a.messageName(), b.messageName());
        });
    };
}

Sorter callSorter(RecordTableModel<ZNCallHistoryNode>* model) {
    return [model](const QString& key, bool up) {
        if (isName(key))
            resort(model, up, [](const auto& a, const auto& b) {
                return compareNames(a.callName(), b.callName());
            });
        else
            resort(model, up, [](const auto& a, const auto& b) {
                return compareValues(callDateInstant(a.callDate()), callDateInstant(b.callDate()));
            });
    };
}

void ZNResultViewController::sortDisplayList(Page& pg) {
    if (!pg.sort) return;
    pg.sort(pg.sortColumn, pg.sortAscending);
    QHeaderView* header = pg.table->horizontalHeader();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(pg.model->columnOf(pg.sortColumn),
                             pg.sortAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

}  // namespace marlowen::gui
