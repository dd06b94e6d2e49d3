// The backup root a verb works on: --root when given, else the environment
// override, else the current user's backup folder.
#pragma once

#include <string>

namespace marlowen::cli {

std::string resolveBackupRoot(const std::string& rootOption);

}  // namespace marlowen::cli
