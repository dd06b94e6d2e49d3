#!/usr/bin/env bash
# Builds the desktop program and the fixture builder, then walks the program
# on the bundled sample backup (scripts/gui-walk.sh) and keeps the pictures
# of each step in docs/screenshots for the README.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
jobs="${JOBS:-$(nproc)}"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja
cmake --build "$build" -j "$jobs" --target marlowen marlowen-fixture
mkdir -p "$root/docs/screenshots"
"$root/scripts/gui-walk.sh" "$build" "$root/docs/screenshots"
ls -l "$root/docs/screenshots"
