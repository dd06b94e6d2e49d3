#!/usr/bin/env bash
# Builds the tests of the scan, the results intake and the desktop program
# under ThreadSanitizer and runs them: these are where the scan thread, the
# main thread and the export and mail threads meet. Qt itself is not built
# with the sanitizer, so its own hand-offs are suppressed (tests/tsan.supp).
#
#   scripts/tsan.sh [BUILD_DIR]    (default: build-tsan)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-tsan}"
suites=(
    tests/scan/test_scan_controller tests/scan/test_indexed_scan tests/scan/test_deep_scan_records
    tests/scan/test_live_readers tests/scan/test_result_intake tests/scan/test_notification_center
    tests/scan/test_scan_session
    tests/gui/test_app_window tests/gui/test_quitting tests/gui/test_result_interaction
)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARLOWEN_TSAN=ON \
    -DMARLOWEN_WERROR=ON -DMARLOWEN_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${suites[@]##*/}"

export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/tsan.supp"
export QT_QPA_PLATFORM=offscreen QT_MEDIA_BACKEND=ffmpeg TZ=UTC
failed=0
for suite in "${suites[@]}"; do
    if (cd "$build/$(dirname "$suite")" && "./$(basename "$suite")" >"$build/tsan-$(basename "$suite").log" 2>&1); then
        echo "tsan: ok   $suite"
    else
        echo "tsan: FAIL $suite (log: $build/tsan-$(basename "$suite").log)"
        tail -40 "$build/tsan-$(basename "$suite").log"
        failed=1
    fi
done
exit "$failed"
