// One category page of the results view: its table, preview and sort
// state, and what differs by category (how its display list is filled and
// sorted, how a row is previewed), set once when the page is built so that
// no step switches over the categories. Shared by the files that make up
// ZNResultViewController.
#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>
#include <functional>

#include "core/model/record_nodes.h"
#include "gui/result_table_model.h"
#include "gui/result_table_view.h"
#include "gui/zn_controls.h"
#include "gui/zn_result_view_controller.h"

namespace marlowen::gui {

// The order a clicked column heading stands for: the column sorted by and
// the shared direction flag that the click turns over. No flag: the
// heading does not sort.
struct SortChoice {
    QString key;
    bool* flag = nullptr;
};

// Reorders a page's display list by `key` (a column identifier), ascending
// or not.
using Sorter = std::function<void(const QString& key, bool ascending)>;

// Photos sort by name or size; contacts and messages by name, whatever
// heading is clicked; calls by name, or else by date. Notes do not sort.
SortChoice photoSortChoice(const QString& heading);
SortChoice byNameSortChoice(const QString& heading);
SortChoice callSortChoice(const QString& heading);
Sorter photoSorter(RecordTableModel<ZNPhotoAndVideoNode>* model);
Sorter contactSorter(RecordTableModel<ZNContactNode>* model);
Sorter messageSorter(RecordTableModel<ZNMessageNode>* model);
Sorter callSorter(RecordTableModel<ZNCallHistoryNode>* model);

struct ZNResultViewController::Page {
    ResultCategory category;
    QWidget* view = nullptr;
    ResultTableView* table = nullptr;
    ResultTableModel* model = nullptr;
    ZNButton* button = nullptr;
    QWidget* preview = nullptr;
    // "This record was deleted", above the preview of a deleted record.
    QLabel* deletedNote = nullptr;
    // The column the list was last sorted by ("" for scan order) and how.
    QString sortColumn;
    bool sortAscending = true;
    QString plainImage;
    QString onImage;
    QString shownImage;

    // Sets the display list from the intake: every record, or only the
    // deleted ones.
    std::function<void(bool deletedOnly)> fill;
    // Null: no heading sorts the page.
    SortChoice (*sortChoice)(const QString& heading) = nullptr;
    Sorter sort;
    // Fills the preview with the record on `row` of the display list.
    void (ZNResultViewController::*showRow)(int row) = nullptr;
};

}  // namespace marlowen::gui
