// Where a sheet goes over the main window: centred on it, and never higher
// than the window's top lowered by an amount that depends on the window's
// height (the room the window's own head takes).
#pragma once

class QWidget;

namespace marlowen::gui {

// 1 for a window 559 or 537 high, 78 for one 620 high, else 0.
int sheetOffsetForFrameHeight(int frameHeight);
// Moves `sheet` to its place over `window`.
void placeSheet(QWidget* sheet, const QWidget* window);

}  // namespace marlowen::gui

namespace marlowen::gui {

// Keeps `sheet` in its place over `window`: each time the sheet is shown
// and while the window moves or resizes under it. A window manager decides
// where a window lands only when it is mapped, so a place taken before
// that is not kept; this places the sheet again once both are on screen.
void keepSheetPlaced(QWidget* sheet, QWidget* window);

}  // namespace marlowen::gui
