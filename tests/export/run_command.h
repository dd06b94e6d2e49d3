// Runs a shell command for the export tests' outside checkers (Python's
// parsers, KContacts, Chromium) and keeps what it prints.
#pragma once

#include <stdio.h>
#include <sys/wait.h>

#include <string>

namespace marlowen::testing {

// Runs `command` through /bin/sh; answers its exit status (-1 when it could
// not run or was killed) and appends its standard output to `output`.
inline int runCommand(const std::string& command, std::string& output) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        output.append(chunk, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace marlowen::testing
