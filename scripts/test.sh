#!/usr/bin/env bash
# Installs what is missing, builds everything under AddressSanitizer and
# UndefinedBehaviorSanitizer with warnings as errors, runs every test with
# ctest, then runs each fuzz harness (scripts/fuzz.sh) for FUZZ_SECONDS.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-check"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMARLOWEN_SANITIZE=ON -DMARLOWEN_WERROR=ON
cmake --build "$build" -j "$(nproc)"

# The fuzz harnesses first, each for FUZZ_SECONDS (60 unless set), so that
# ctest's summary is the last thing this prints.
"$root/scripts/fuzz.sh" "${FUZZ_SECONDS:-60}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
ctest --output-on-failure -j "$(nproc)"
