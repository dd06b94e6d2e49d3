#include "support/temp_dir.h"

#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

#include "support/fixture_error.h"

namespace marlowen::fixture {

TempDir::TempDir(std::string_view prefix) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr)
        throw FixtureError("cannot create a temporary directory from " + pattern);
    path_ = buffer.data();
}

TempDir::~TempDir() {
    const char* keep = std::getenv("MARLOWEN_KEEP_TEMP");
    if (keep != nullptr && std::string_view(keep) == "1") return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace marlowen::fixture
