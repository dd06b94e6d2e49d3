#include "core/discovery/backup_root.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "core/discovery/directory_listing.h"

namespace marlowen {
namespace {

const passwd* ownPasswordEntry() {
    return ::getpwuid(::getuid());
}

std::string loginName() {
    // getlogin() needs a controlling terminal and fails under launchers and
    // in containers.
    if (const char* login = ::getlogin(); login != nullptr && *login != '\0') return login;
    if (const passwd* pw = ownPasswordEntry(); pw != nullptr && pw->pw_name != nullptr)
        return pw->pw_name;
    if (const char* user = std::getenv("USER"); user != nullptr) return user;
    return {};
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* pw = ownPasswordEntry(); pw != nullptr && pw->pw_dir != nullptr)
        return pw->pw_dir;
    return {};
}

}  // namespace

std::string backupRootFor(const std::string& login, const std::string& home) {
    const std::string usersRoot = "/Users/" + login + "/" + kBackupRootRelativePath;
    if ((!login.empty() && isDirectory(usersRoot)) || home.empty()) return usersRoot;
    return joinPath(home, kBackupRootRelativePath);
}

std::string userBackupRoot() {
    return backupRootFor(loginName(), homeFolder());
}

std::string defaultBackupRoot() {
    if (const char* root = std::getenv(kBackupRootEnvironmentVariable);
        root != nullptr && *root != '\0')
        return root;
    return userBackupRoot();
}

}  // namespace marlowen
