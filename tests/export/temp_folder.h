// A fresh folder under the system's temporary folder, removed with
// everything in it when the test ends; and small file helpers.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace marlowen::testing {

class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "marlowen-test-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) {
            // Undo read-only folders a test made, so they can be removed.
            for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
                 !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
                if (it->is_directory(ec) && !it->is_symlink(ec))
                    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                                 std::filesystem::perm_options::add, ec);
            std::filesystem::remove_all(path_, ec);
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& p) const { return path_ / p; }

private:
    std::filesystem::path path_;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every path below `root`, relative to it ("Contact", "Contact/Ann.vcf", ...).
inline std::set<std::string> treeOf(const std::filesystem::path& root) {
    std::set<std::string> entries;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        entries.insert(std::filesystem::relative(e.path(), root).string());
    return entries;
}

}  // namespace marlowen::testing
