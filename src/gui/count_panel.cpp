#include "gui/count_panel.h"

#include <QCoreApplication>
#include <QLabel>

#include "core/results/result_intake.h"
#include "ui_ResulutView.h"

namespace marlowen::gui {

CategoryCounts CategoryCounts::of(const ResultIntake& intake) {
    CategoryCounts c;
    c.photovideoNum = intake.photovideoNum();
    c.contactNum = intake.contactNum();
    c.messageNum = intake.messageNum();
    c.noteNum = intake.noteNum();
    c.callNum = intake.callNum();
    c.delContactNum = intake.delContactNum();
    c.delMessageNum = intake.delMessageNum();
    c.delNoteNum = intake.delNoteNum();
    c.delCallNum = intake.delCallNum();
    return c;
}

CountPanel::CountPanel(Ui::ResulutView& ui)
    : lines_{{{ui.photovideoNumlab, "Photo&Video:  ", &CategoryCounts::photovideoNum},
              {ui.delPhotovideoNumlab, "Photo&Video:  ", nullptr},
              {ui.contactNumlab, "Contacts:  ", &CategoryCounts::contactNum},
              {ui.delContactNumlab, "Contacts:  ", &CategoryCounts::delContactNum},
              {ui.messageNumlab, "Messages:  ", &CategoryCounts::messageNum},
              {ui.delMessageNumlab, "Messages:  ", &CategoryCounts::delMessageNum},
              {ui.noteNumlab, "Notes:  ", &CategoryCounts::noteNum},
              {ui.delNoteNumlab, "Notes:  ", &CategoryCounts::delNoteNum},
              {ui.callNumlab, "Call History:  ", &CategoryCounts::callNum},
              {ui.delCallNumlab, "Call History:  ", &CategoryCounts::delCallNum}}} {}

void CountPanel::clear() {
    for (const Line& line : lines_)
        line.label->setText(QCoreApplication::translate("CountPanel", line.title));
}

void CountPanel::show(const CategoryCounts& counts) {
    for (const Line& line : lines_)
        line.label->setText(QCoreApplication::translate("CountPanel", line.title) +
                            QString::number(line.count ? counts.*line.count : 0));
}

}  // namespace marlowen::gui
