// The one diagnostic log of the core. Every console line a reader, carver or
// discovery step writes goes through logLine() with its exact text; the
// program decides where the lines go (the desktop program writes them to
// stderr like a platform log, the CLI only with --verbose).
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace marlowen {

using LogSink = std::function<void(std::string_view line)>;

// Writes one line (without its line end) to the current sink. Thread-safe.
void logLine(std::string_view line);

// Replaces the sink and returns the previous one. An empty sink drops lines.
LogSink setLogSink(LogSink sink);

// The default sink: the line and "\n" on stderr.
void logToStderr(std::string_view line);

}  // namespace marlowen
