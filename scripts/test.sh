#!/usr/bin/env bash
# Installs what is missing, builds everything under AddressSanitizer and
# UndefinedBehaviorSanitizer with warnings as errors, installs that tree into
# a temporary prefix and validates the desktop entry and AppStream metadata
# (scripts/check-install.sh), runs each fuzz harness (scripts/fuzz.sh) for
# FUZZ_SECONDS, the thread-heavy suites under ThreadSanitizer
# (scripts/tsan.sh), then every test with ctest.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-check"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMARLOWEN_SANITIZE=ON -DMARLOWEN_WERROR=ON
cmake --build "$build" -j "$(nproc)"

# The install of the tree just built: seconds, no second build.
"$root/scripts/check-install.sh" "$build"

# The fuzz harnesses first, each for FUZZ_SECONDS (30 unless set: the whole
# run stays well inside CI's time with ten harnesses), so that
# ctest's summary is the last thing this prints.
"$root/scripts/fuzz.sh" "${FUZZ_SECONDS:-30}"

# The scan, intake and desktop-program suites under ThreadSanitizer, in a
# build of their own.
"$root/scripts/tsan.sh" "$root/build-tsan"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
ctest --output-on-failure -j "$(nproc)"
