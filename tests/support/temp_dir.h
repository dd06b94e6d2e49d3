// A private temporary directory that is removed with everything in it when
// the object goes out of scope. Set MARLOWEN_KEEP_TEMP=1 to keep it for
// inspection after a failing test.
#pragma once

#include <filesystem>
#include <string_view>

namespace marlowen::fixture {

class TempDir {
public:
    // Creates a fresh directory under the system temporary directory whose
    // name starts with `prefix`.
    explicit TempDir(std::string_view prefix = "marlowen-test");
    ~TempDir();

    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // path() / name, for brevity in tests.
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

private:
    std::filesystem::path path_;
};

}  // namespace marlowen::fixture
