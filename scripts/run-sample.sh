#!/usr/bin/env bash
# Installs what is missing, builds the programs, writes the bundled sample
# backup with the fixture builder and runs the main job on it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)"

sample="$build/sample-backups"
rm -rf "$sample"
"$build/tests/support/marlowen-fixture" sample "$sample"
"$build/src/cli/marlowen-cli" devices --root "$sample"
for backup in "$sample"/*/; do
    "$build/src/cli/marlowen-cli" scan "${backup%/}"
    echo
    echo "== Every category"
    "$build/src/cli/marlowen-cli" scan --all "${backup%/}"
done
