#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang under AddressSanitizer
# and UndefinedBehaviorSanitizer and runs each for N seconds (first
# argument, else FUZZ_SECONDS, else 60).
#
# Inputs that crash, leak or time out are written to
# fuzz/corpus-regressions/<harness>/ and the script fails; commit them with
# the fix: the test suite replays every file there. The growing corpus
# lives in the build folder; fuzz/corpus/<harness>/ holds the seeds.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
seconds="${1:-${FUZZ_SECONDS:-60}}"
jobs="${FUZZ_BUILD_JOBS:-$(nproc)}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMARLOWEN_FUZZ=ON -DMARLOWEN_SANITIZE=ON -DMARLOWEN_WERROR=ON \
    -DMARLOWEN_BUILD_GUI=OFF -DMARLOWEN_BUILD_TESTS=OFF -DMARLOWEN_BUILD_BENCH=OFF >/dev/null
mapfile -t harnesses < <(sed -n 's/^marlowen_add_fuzzer(\([a-z_]*\)[ )].*/\1_fuzzer/p' "$root/fuzz/CMakeLists.txt")
cmake --build "$build" -j "$jobs" --target "${harnesses[@]}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for harness in "${harnesses[@]}"; do
    name="${harness%_fuzzer}"
    corpus="$build/corpus/$name"
    regressions="$root/fuzz/corpus-regressions/$name"
    mkdir -p "$corpus" "$regressions"
    seeds=()
    [ -d "$root/fuzz/corpus/$name" ] && seeds+=("$root/fuzz/corpus/$name")
    echo "== $harness for ${seconds}s" >&2
    # New inputs go to the first folder only; the seeds and the kept
    # regressions are read.
    if ! "$build/fuzz/$harness" "$corpus" "${seeds[@]}" "$regressions" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
        -artifact_prefix="$regressions/" -print_final_stats=1; then
        echo "$harness failed; the input is in $regressions/" >&2
        status=1
    fi
done
exit "$status"
