// The verbs of the marlowen-fixture program, with their streams passed in so
// that tests can run them:
//   sample DIR   writes the sample backup into the backup root DIR
//   bulk DIR     writes a large backup for the benchmarks into DIR
// Both print the path of the backup folder they wrote on `out`. Failures go
// to `err` with a non-zero answer.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace marlowen::fixture {

// `args` without the program name.
int runFixtureCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace marlowen::fixture
