#include "core/log/log.h"

#include <cstdio>
#include <mutex>

namespace marlowen {
namespace {

std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}

LogSink& currentSink() {
    static LogSink sink = logToStderr;
    return sink;
}

}  // namespace

void logToStderr(std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
}

void logLine(std::string_view line) {
    std::lock_guard<std::mutex> lock(sinkMutex());
    if (currentSink()) currentSink()(line);
}

LogSink setLogSink(LogSink sink) {
    std::lock_guard<std::mutex> lock(sinkMutex());
    LogSink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

}  // namespace marlowen
