// Where a sheet goes over the main window: centred, its top lowered below
// the window's top by an amount that depends on the window's height.
#pragma once

class QWidget;

namespace marlowen::gui {

// 1 for a window 559 or 537 high, 78 for one 620 high, else 0.
int sheetOffsetForFrameHeight(int frameHeight);
// Moves `sheet` to its place over `window`.
void placeSheet(QWidget* sheet, const QWidget* window);

}  // namespace marlowen::gui
