// Nesting guards run over a property list's bytes before they are handed to
// libplist. The 2.2 parsers recurse once per nested array or dictionary with
// no depth limit, so a hostile file of a few hundred kilobytes overflows the
// stack; these checks refuse such files without decoding any value.
#pragma once

#include <cstddef>
#include <span>

namespace marlowen {

// Real backup property lists nest fewer than ten levels deep.
inline constexpr std::size_t kMaxPlistNesting = 128;

// XML form: true when no array or dictionary element is nested deeper than
// maxDepth. Comments and CDATA sections are skipped; a count that errs on
// the high side only refuses the file.
bool xmlPlistNestingWithin(std::span<const char> bytes, std::size_t maxDepth);

// Binary form ("bplist00"): true when the trailer and offset table are
// consistent, every container reference names an existing object, the
// object graph has no cycle and no path from the top object passes through
// more than maxDepth objects. False for anything it cannot verify.
bool binaryPlistNestingWithin(std::span<const char> bytes, std::size_t maxDepth);

}  // namespace marlowen
