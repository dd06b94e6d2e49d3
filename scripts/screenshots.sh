#!/usr/bin/env bash
# Builds the desktop program, writes the bundled sample backup and saves
# pictures of the backup page, the results page after a full scan and the
# export sheet into docs/screenshots, on a virtual X server.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
jobs="${JOBS:-$(nproc)}"

cmake -S "$root" -B "$build" -G Ninja
cmake --build "$build" -j "$jobs" --target marlowen-fixture marlowen-screenshots

sample="$(mktemp -d)"
trap 'rm -rf "$sample"' EXIT
"$build/tests/support/marlowen-fixture" sample "$sample/Backup" >/dev/null
mkdir -p "$root/docs/screenshots"
QT_QPA_PLATFORM=xcb QT_MEDIA_BACKEND=ffmpeg xvfb-run -a -s "-screen 0 1280x900x24" \
    "$build/tests/gui/marlowen-screenshots" "$sample/Backup" "$root/docs/screenshots"
ls -l "$root/docs/screenshots"
