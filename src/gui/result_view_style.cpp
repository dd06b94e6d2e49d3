#include "gui/result_view_style.h"

#include "gui/zn_result_view_controller.h"

namespace marlowen::gui {

QFont lucida(int points, bool bold) {
    QFont f(QStringLiteral("Lucida Grande"), points);
    f.setStyleHint(QFont::SansSerif);
    f.setBold(bold);
    return f;
}

QString percentText(int percent) {
    return ZNResultViewController::tr("%d%%")
        .replace(QLatin1String("%d"), QString::number(percent))
        .replace(QLatin1String("%%"), QLatin1String("%"));
}

}  // namespace marlowen::gui
