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

    // Which order a heading stands for, and the shared direction flag that
    // the click turns over. Contacts and messages sort by name whatever
    // heading is clicked, calls by name or else by date; notes do not sort.
    const QString name = QStringLiteral("Name");
    QString key;
    bool* flag = nullptr;
    switch (pg->category) {
        case ResultCategory::PhotoAndVideo:
            if (id == name) {
                key = name;
                flag = &SortFlags::name;
            } else if (id == QLatin1String("Size")) {
                key = id;
                flag = &SortFlags::size;
            }
            break;
        case ResultCategory::Contact:
        case ResultCategory::Message:
            key = name;
            flag = &SortFlags::name;
            break;
        case ResultCategory::CallHistory:
            key = id == name ? name : QStringLiteral("callDate");
            flag = id == name ? &SortFlags::name : &SortFlags::date;
            break;
        case ResultCategory::Note:
            break;
    }
    if (!flag) return;
    *flag = !*flag;
    pg->sortColumn = key;
    pg->sortAscending = *flag;
    sortDisplayList(*pg);
    selectFirstRow(*pg);
}

void ZNResultViewController::sortDisplayList(Page& pg) {
    const bool up = pg.sortAscending;
    const bool byName = pg.sortColumn == QLatin1String("Name");
    auto resort = [up](auto* model, auto compare) {
        auto list = model->displayList();
        marlowen::gui::sortDisplayList(list, up, compare);
        model->setDisplayList(std::move(list));
    };
    switch (pg.category) {
        case ResultCategory::PhotoAndVideo:
            if (byName)
                resort(photoController, [](const auto& a, const auto& b) {
                    return compareValues(fileNameNumber(a.fileNodeName()),
                                         fileNameNumber(b.fileNodeName()));
                });
            else
                resort(photoController, [](const auto& a, const auto& b) {
                    return compareValues(sizeFormString(a.fileNodeSize()),
                                         sizeFormString(b.fileNodeSize()));
                });
            break;
        case ResultCategory::Contact:
            resort(contactController, [](const auto& a, const auto& b) {
                return compareNames(a.contactName(), b.contactName());
            });
            break;
        case ResultCategory::Message:
            resort(messageController, [](const auto& a, const auto& b) {
                return compareNames(a.messageName(), b.messageName());
            });
            break;
        case ResultCategory::CallHistory:
            if (byName)
                resort(callHistoryController, [](const auto& a, const auto& b) {
                    return compareNames(a.callName(), b.callName());
                });
            else
                resort(callHistoryController, [](const auto& a, const auto& b) {
                    return compareValues(callDateInstant(a.callDate()),
                                         callDateInstant(b.callDate()));
                });
            break;
        case ResultCategory::Note:
            return;
    }
    QHeaderView* header = pg.table->horizontalHeader();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(pg.model->columnOf(pg.sortColumn),
                             up ? Qt::AscendingOrder : Qt::DescendingOrder);
}

}  // namespace marlowen::gui
