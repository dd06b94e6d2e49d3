#include "core/export/vcard_value.h"

namespace marlowen {

std::string escapeVCardText(std::string_view value) {
    std::string out;
    out.reserve(value.size() + value.size() / 8);
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case ';':
                out += "\\;";
                break;
            case ',':
                out += "\\,";
                break;
            case '\r':
                if (i + 1 < value.size() && value[i + 1] == '\n') ++i;  // CR LF is one break
                out += "\\n";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

}  // namespace marlowen
