// Orders of the result tables. Each order has a direction flag shared by
// the whole program: a click turns the flag over before sorting, so the
// first click on a heading sorts ascending, and every table's name sort
// follows the same name flag.
#pragma once

#include <QDateTime>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/model/record_nodes.h"

namespace marlowen::gui {

struct SortFlags {
    static bool name;
    static bool size;
    static bool date;
    static void reset() { name = size = date = false; }
};

// A size text such as "1.50M" back to a byte count: the last character is
// the unit (B, K, M, G, anything else counts as T, all powers of 1000), the
// text before it a decimal number; unreadable text gives 0.
std::uint64_t sizeFormString(const std::string& text);
// The leading decimal digits of a file name without its extension
// ("00000012.jpg" gives 12); none gives 0.
std::uint64_t fileNameNumber(const std::string& name);
// A call date ("MM-DD-YYYY HH:MM") as an instant; invalid when unreadable.
QDateTime callDateInstant(const std::string& text);

// -1, 0, 1 for a < b, a == b, a > b.
int compareNames(const std::string& a, const std::string& b);
template <class T>
int compareValues(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Sorts with `compare`, ascending when `ascending`, else descending.
template <class Ptr, class Compare>
void sortDisplayList(std::vector<Ptr>& list, bool ascending, Compare compare) {
    std::stable_sort(list.begin(), list.end(), [&](const Ptr& a, const Ptr& b) {
        const int order = compare(*a, *b);
        return ascending ? order < 0 : order > 0;
    });
}

}  // namespace marlowen::gui
