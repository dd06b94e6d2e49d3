#include "core/log/log_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace marlowen {
namespace fs = std::filesystem;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The home folder: $HOME, else the password database's entry.
fs::path homeFolder() {
    if (const char* home = ::getenv("HOME"); home && home[0] == '/') return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
        return pw->pw_dir;
    return {};
}

// Creates each missing folder of `path` with mode 0700; existing ones keep
// their mode.
void makeFolders(const fs::path& path) {
    fs::path partial;
    for (const fs::path& piece : path) {
        partial /= piece;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return;
    }
}

}  // namespace

LogSink fileLogSink(const fs::path& path, std::error_code& error) {
    error.clear();
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = std::error_code(errno, std::generic_category());
        return {};
    }
    std::FILE* raw = ::fdopen(fd, "a");
    if (!raw) {
        error = std::error_code(errno, std::generic_category());
        ::close(fd);
        return {};
    }
    std::shared_ptr<std::FILE> file(raw, FileCloser{});
    return [file](std::string_view line) {
        std::fwrite(line.data(), 1, line.size(), file.get());
        std::fputc('\n', file.get());
        std::fflush(file.get());
    };
}

LogSink teeLogSinks(std::vector<LogSink> sinks) {
    return [sinks = std::move(sinks)](std::string_view line) {
        for (const LogSink& sink : sinks)
            if (sink) sink(line);
    };
}

fs::path defaultLogFilePath() {
    fs::path cache;
    if (const char* xdg = ::getenv("XDG_CACHE_HOME"); xdg && xdg[0] == '/') {
        cache = xdg;
    } else {
        const fs::path home = homeFolder();
        if (home.empty()) return {};
        cache = home / ".cache";
    }
    const fs::path folder = cache / "Marlowen";
    makeFolders(folder);
    return folder / "marlowen.log";
}

}  // namespace marlowen
