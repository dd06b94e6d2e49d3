// File names made from record values (contact names, companies, photo
// names). Those values come from the phone, some carved from free space, so
// they may hold "/", "..", control characters or be longer than a file
// system allows. Every name the export writes goes through here, which keeps
// every write inside its category folder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

namespace marlowen {

// Longest name safeFileName() answers, in bytes. Leaves room for a " <n>"
// counter, an extension and a temporary suffix within the usual 255-byte
// limit of a file name.
inline constexpr std::size_t kMaxSafeFileNameBytes = 200;

// A name that is one path component and nothing else: "/", "\", NUL and the
// other C0 controls and DEL become "_"; "", "." and ".." become "_", "_" and
// "__"; the result is cut to kMaxSafeFileNameBytes without splitting a UTF-8
// sequence. Everything else, including non-ASCII text, is kept.
std::string safeFileName(std::string_view name);

// Hands out distinct file names within one folder: the first "Ann" gets
// "Ann.vcf", the next ones "Ann 2.vcf", "Ann 3.vcf", ... Names are compared
// with ASCII letters folded, so that two names also stay distinct on a
// case-insensitive volume (a memory stick, a Mac disk).
class UniqueFileNames {
public:
    // `stem` must already be safe (safeFileName); `extension` includes its dot.
    std::string claim(std::string_view stem, std::string_view extension);

private:
    std::unordered_set<std::string> taken_;
};

}  // namespace marlowen
