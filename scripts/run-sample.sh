#!/usr/bin/env bash
# The first run: installs the packages the programs need (only those that
# are missing), builds the two programs and the sample-backup writer in
# Release (nothing else: no test suite, no benchmark), writes the sample
# backup and opens the desktop program on it. Without a display it prints a
# command-line scan of the sample instead and says how to open the desktop
# program.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"

"$root/scripts/install-deps.sh" --programs
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DMARLOWEN_BUILD_TESTS=OFF -DMARLOWEN_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target marlowen marlowen-cli marlowen-fixture

sample="$build/sample-backups"
rm -rf "$sample"
"$build/tests/support/marlowen-fixture" sample "$sample" >/dev/null
backup="$(find "$sample" -mindepth 1 -maxdepth 1 -type d | head -n 1)"
[ -n "$backup" ] || { echo "run-sample: the sample backup was not written" >&2; exit 1; }

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "Opening the desktop program on the sample backup in $sample"
    MARLOWEN_BACKUP_ROOT="$sample" exec "$build/src/gui/marlowen"
fi

"$build/src/cli/marlowen-cli" devices --root "$sample"
echo
echo "== Every category of $backup"
"$build/src/cli/marlowen-cli" scan --all "$backup"
echo
echo "No display here, so the desktop program was not opened. On a desktop, run:"
echo "    MARLOWEN_BACKUP_ROOT=\"$sample\" \"$build/src/gui/marlowen\""
