#!/usr/bin/env bash
# Fails when a source file differs from what clang-format makes of it under
# the tree's .clang-format, and names each such file. With --fix the files
# are rewritten in place instead.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
clang_format="${CLANG_FORMAT:-clang-format}"
if ! command -v "$clang_format" >/dev/null; then
    echo "check-format: $clang_format is not installed (scripts/install-deps.sh installs it)" >&2
    exit 1
fi

mapfile -t files < <(cd "$root" && find src tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
if [ "${1:-}" = "--fix" ]; then
    (cd "$root" && "$clang_format" -i "${files[@]}")
    exit 0
fi
bad=0
for file in "${files[@]}"; do
    if ! (cd "$root" && "$clang_format" --dry-run -Werror "$file" >/dev/null 2>&1); then
        echo "not formatted: $file (scripts/check-format.sh --fix rewrites it)"
        bad=$((bad + 1))
    fi
done
if ((bad > 0)); then
    echo "check-format: $bad of ${#files[@]} files differ from .clang-format" >&2
    exit 1
fi
echo "check-format: all ${#files[@]} files match .clang-format"
