// Runs a query on a database file and answers every cell as text, the way
// the live readers see their results (NULL as nullopt). For tests only; it
// opens the file read-only and never checkpoints.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace marlowen::fixture {

using TextRow = std::vector<std::optional<std::string>>;
using TextTable = std::vector<TextRow>;

// Throws FixtureError when the file cannot be opened or `sql` fails.
// `parameter`, when given, is bound to the first "?".
TextTable queryTexts(const std::filesystem::path& database, std::string_view sql,
                     std::optional<std::int64_t> parameter = std::nullopt);

// Whether `sql` prepares on the file (e.g. a reader's query on another layout).
bool queryPrepares(const std::filesystem::path& database, std::string_view sql);

}  // namespace marlowen::fixture
