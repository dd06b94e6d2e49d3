#include "core/carve/page_walk.h"

#include <utility>

#include "core/carve/hex_text.h"

namespace marlowen::carve {

bool windowMatches(const PageReader& db, int64_t at, int32_t bytes, int32_t type, int32_t window) {
    char text[kHexTextBuffer] = {};
    getHexString(db, at, bytes, text);
    return bcheckSubStringIsValid(text, type, window);
}

std::optional<CarveSource> openToCarve(const std::string& backupPath, const ReaderContext& ctx,
                                       const DatabaseName& name, const DatabaseName* alternative,
                                       const char* missingLine) {
    auto found = ctx.databaseOrLog(backupPath, name, alternative, missingLine);
    if (!found) return std::nullopt;
    CarveSource source{std::move(*found), {}};
    if (!source.file.open(source.db.path)) return std::nullopt;
    return source;
}

std::string damagedPageSizeLine(const std::string& dbPath, const DatabasePageSize& size,
                                const char* records) {
    return dbPath + ": page size " + std::to_string(size.stored) + " is not valid; no " + records +
           " carved";
}

std::string budgetLine(const std::string& dbPath, const CarveOutcome& outcome,
                       const char* records) {
    return dbPath + ": " + records + " carving stopped at " + std::to_string(outcome.records) +
           " records (memory limit)";
}

}  // namespace marlowen::carve
