#include "core/export/export_folder.h"

#include <algorithm>

namespace marlowen {

std::string proposedExportFolderName(std::time_t when) {
    std::tm local{};
    if (!localtime_r(&when, &local)) return "Marlowen";
    char date[32];
    char time[32];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    std::strftime(time, sizeof time, "%H.%M.%S", &local);
    return std::string("Marlowen ") + date + " - " + time;
}

std::string proposedExportFolderName() {
    return proposedExportFolderName(std::time(nullptr));
}

bool isSameOrInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    std::error_code ec;
    const auto p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    if (ec) return false;
    const auto f = std::filesystem::weakly_canonical(std::filesystem::absolute(folder, ec), ec);
    if (ec) return false;
    // Compare whole components ("/a/bc" is not inside "/a/b"); a trailing
    // separator leaves an empty last component, which is skipped.
    auto fEnd = f.end();
    if (!f.empty() && f.filename().empty()) --fEnd;
    return std::mismatch(f.begin(), fEnd, p.begin(), p.end()).first == fEnd;
}

}  // namespace marlowen
