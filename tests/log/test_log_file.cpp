// The log file sink, the tee of sinks and the default log file's place.
#include "core/log/log_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace marlowen {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

mode_t modeOf(const fs::path& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// Restores an environment variable when a test ends.
class SavedEnvironment {
public:
    explicit SavedEnvironment(const char* name) : name_(name) {
        if (const char* v = ::getenv(name)) value_ = v;
    }
    ~SavedEnvironment() {
        if (value_)
            ::setenv(name_, value_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> value_;
};

TEST(LogFile, AppendsFlushedLinesFromManyThreadsWithoutInterleaving) {
    fixture::TempDir tmp;
    const fs::path file = tmp / "marlowen.log";
    { std::ofstream(file) << "earlier run\n"; }
    std::error_code error;
    LogSink sink = fileLogSink(file, error);
    ASSERT_TRUE(sink) << error.message();
    const LogSink previous = setLogSink(std::move(sink));
    logLine("first");
    // Flushed at once: readable before the sink goes.
    EXPECT_EQ(contents(file), "earlier run\nfirst\n");

    constexpr int kThreads = 4, kLines = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                logLine("thread " + std::to_string(t) + " line " + std::to_string(i) +
                        std::string(200, 'x'));
        });
    for (std::thread& t : threads) t.join();
    setLogSink(previous);

    std::istringstream lines(contents(file));
    std::string line;
    int counted = 0;
    std::getline(lines, line);
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        EXPECT_TRUE(line.starts_with("thread ") && line.ends_with(std::string(200, 'x'))) << line;
        ++counted;
    }
    EXPECT_EQ(counted, kThreads * kLines);
}

TEST(LogFile, NewFileIsPrivateAndAnUnopenablePathSaysWhy) {
    fixture::TempDir tmp;
    std::error_code error;
    EXPECT_TRUE(fileLogSink(tmp / "new.log", error));
    EXPECT_EQ(modeOf(tmp / "new.log"), 0600u);
    EXPECT_FALSE(fileLogSink(tmp / "missing-folder" / "x.log", error));
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
    EXPECT_FALSE(fileLogSink(tmp.path(), error));  // a folder
    EXPECT_TRUE(error);
}

TEST(LogFile, TeeHandsEachLineToEverySinkInOrder) {
    std::string seen;
    LogSink tee =
        teeLogSinks({[&](std::string_view l) { seen += "a:" + std::string(l) + ";"; }, nullptr,
                     [&](std::string_view l) { seen += "b:" + std::string(l) + ";"; }});
    tee("one");
    tee("two");
    EXPECT_EQ(seen, "a:one;b:one;a:two;b:two;");
}

TEST(LogFile, DefaultPathIsInTheCacheFolderMadePrivate) {
    SavedEnvironment xdg("XDG_CACHE_HOME"), home("HOME");
    fixture::TempDir tmp;
    ::setenv("XDG_CACHE_HOME", (tmp / "cache").c_str(), 1);
    EXPECT_EQ(defaultLogFilePath(), tmp / "cache" / "Marlowen" / "marlowen.log");
    EXPECT_EQ(modeOf(tmp / "cache"), 0700u);
    EXPECT_EQ(modeOf(tmp / "cache" / "Marlowen"), 0700u);

    // Unset, empty or relative: the home folder's ".cache".
    ::setenv("HOME", (tmp / "home").c_str(), 1);
    for (const char* value : {static_cast<const char*>(nullptr), "", "relative/cache"}) {
        if (value)
            ::setenv("XDG_CACHE_HOME", value, 1);
        else
            ::unsetenv("XDG_CACHE_HOME");
        EXPECT_EQ(defaultLogFilePath(), tmp / "home" / ".cache" / "Marlowen" / "marlowen.log");
    }
    EXPECT_TRUE(fs::is_directory(tmp / "home" / ".cache" / "Marlowen"));
    EXPECT_FALSE(fs::exists("relative"));

    // An existing folder keeps its mode.
    fs::create_directories(tmp / "shared" / "Marlowen");
    fs::permissions(tmp / "shared" / "Marlowen", fs::perms(0755));
    ::setenv("XDG_CACHE_HOME", (tmp / "shared").c_str(), 1);
    defaultLogFilePath();
    EXPECT_EQ(modeOf(tmp / "shared" / "Marlowen"), 0755u);
}

}  // namespace
}  // namespace marlowen
