// The count panel of the results page: the live and the deleted records of
// each category, as the scan finds them.
#pragma once

#include <array>

class QLabel;

namespace Ui {
class ResulutView;
}

namespace marlowen {
class ResultIntake;
}

namespace marlowen::gui {

// Live and deleted counts of the five categories at one progress step.
struct CategoryCounts {
    int photovideoNum = 0, contactNum = 0, messageNum = 0, noteNum = 0, callNum = 0;
    int delContactNum = 0, delMessageNum = 0, delNoteNum = 0, delCallNum = 0;
    static CategoryCounts of(const ResultIntake& intake);
};

class CountPanel {
public:
    // The panel's ten labels are the page's own.
    explicit CountPanel(Ui::ResulutView& ui);
    // The titles alone, before a scan's first count.
    void clear();
    void show(const CategoryCounts& counts);

private:
    struct Line {
        QLabel* label;
        const char* title;
        int CategoryCounts::*count;  // null: always 0 (photos are never deleted)
    };
    std::array<Line, 10> lines_;
};

}  // namespace marlowen::gui
