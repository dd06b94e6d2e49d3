// Fonts, colours and texts shared by the parts of the results page.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <string>

namespace marlowen::gui {

// The accent colour of the program.
inline const QColor kAccent = QColor::fromRgbF(217 / 255.0f, 81 / 255.0f, 30 / 255.0f, 1.0f);

// The "Lucida Grande" face, or the nearest sans-serif face there is.
QFont lucida(int points, bool bold = false);
// "%d%%" with a percentage, e.g. "40%".
QString percentText(int percent);
inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace marlowen::gui
