// Log sinks beyond stderr: a log file, and several sinks at once. The
// desktop program keeps its log in the user's cache folder and, when asked,
// also on stderr.
#pragma once

#include <filesystem>
#include <system_error>
#include <vector>

#include "core/log/log.h"

namespace marlowen {

// A sink that appends each line and "\n" to `path` and flushes it, so the
// file is complete up to the last line even if the program dies. The file is
// opened once, here (created with mode 0600 when missing), and closed when
// the last copy of the sink goes. logLine() calls sinks under its mutex, so
// lines from several threads never interleave. Answers an empty sink and
// sets `error` when the file cannot be opened.
LogSink fileLogSink(const std::filesystem::path& path, std::error_code& error);

// A sink that hands each line to every non-empty sink of `sinks`, in order.
LogSink teeLogSinks(std::vector<LogSink> sinks);

// "$XDG_CACHE_HOME/Marlowen/marlowen.log", or "~/.cache/Marlowen/marlowen.log"
// when XDG_CACHE_HOME is unset, empty or not absolute. Missing folders on
// the way are created with mode 0700. Empty when there is no home folder.
std::filesystem::path defaultLogFilePath();

}  // namespace marlowen
