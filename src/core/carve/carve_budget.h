// The memory the records of one carver run may take.
//
// A real database yields a few megabytes of carved records. A hostile file
// can match a signature every few bytes, and each match can carry a text as
// long as a page; its carve stops at this budget instead of taking all
// memory. Every carver charges each record it creates, whether it keeps the
// record in a working array or hands it on at once (the receiver keeps it).
#pragma once

#include <cstddef>

namespace marlowen::carve {

inline constexpr size_t kDefaultCarveBudget = size_t{1} << 30;

// What one record roughly costs beside its node and its texts: the shared
// control block and the slot in a list.
inline constexpr size_t kRecordOverhead = 64;

// Takes `cost` from the budget; false, taking nothing, when it does not fit.
inline bool spend(size_t& budget, size_t cost) {
    if (cost > budget) return false;
    budget -= cost;
    return true;
}

}  // namespace marlowen::carve
