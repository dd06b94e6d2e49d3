// The phone keeps a precomputed sort key per name order (FirstSort,
// LastSort) and a one-character section for the index bar
// (FirstSortSection, LastSortSection). The real keys are collation weights
// turned into printable characters; these keys imitate that shape: printable
// ASCII for Latin letters, the name's own UTF-8 bytes otherwise.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace marlowen::fixture {

// The key of the name parts in the given order; empty parts are skipped.
std::string sortKey(const std::vector<std::string_view>& parts);

// One character: the upper-case first Latin letter of `name` (an accented
// letter counts as its base letter), else "#".
std::string sortSection(std::string_view name);

}  // namespace marlowen::fixture
