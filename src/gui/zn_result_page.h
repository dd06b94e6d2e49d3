// One category page of the results view: its table, preview and sort
// state. Shared by the files that make up ZNResultViewController.
#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>

#include "gui/result_table_model.h"
#include "gui/result_table_view.h"
#include "gui/zn_controls.h"
#include "gui/zn_result_view_controller.h"

namespace marlowen::gui {

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
};

}  // namespace marlowen::gui
