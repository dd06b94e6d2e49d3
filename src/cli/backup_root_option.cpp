#include "cli/backup_root_option.h"

#include "core/discovery/backup_root.h"

namespace marlowen::cli {

std::string resolveBackupRoot(const std::string& rootOption) {
    return rootOption.empty() ? defaultBackupRoot() : rootOption;
}

}  // namespace marlowen::cli
