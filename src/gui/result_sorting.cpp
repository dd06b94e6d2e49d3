#include "gui/result_sorting.h"

#include <QString>
#include <cctype>
#include <cstdlib>

namespace marlowen::gui {

bool SortFlags::name = false;
bool SortFlags::size = false;
bool SortFlags::date = false;

std::uint64_t sizeFormString(const std::string& text) {
    if (text.empty()) return 0;
    const char unit = text.back();
    const std::string number = text.substr(0, text.size() - 1);
    const double value = std::strtod(number.c_str(), nullptr);
    double factor = 1e12;
    switch (unit) {
        case 'B':
            factor = 1;
            break;
        case 'K':
            factor = 1e3;
            break;
        case 'M':
            factor = 1e6;
            break;
        case 'G':
            factor = 1e9;
            break;
        default:
            break;
    }
    const double bytes = value * factor;
    // Negative or unreadable amounts count as nothing.
    if (!(bytes > 0)) return 0;
    if (bytes >= 18446744073709551615.0) return UINT64_MAX;
    return static_cast<std::uint64_t>(bytes);
}

std::uint64_t fileNameNumber(const std::string& name) {
    std::uint64_t value = 0;
    for (char c : name) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        // More than 19 digits cannot come from the photo naming; stop growing.
        if (value > UINT64_MAX / 10 - 10) break;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

QDateTime callDateInstant(const std::string& text) {
    const QString s = QString::fromStdString(text).trimmed();
    QDateTime t = QDateTime::fromString(s, QStringLiteral("MM-dd-yyyy hh:mm"));
    if (!t.isValid()) t = QDateTime::fromString(s, Qt::ISODate);
    return t;
}

int compareNames(const std::string& a, const std::string& b) {
    const int c = QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace marlowen::gui
