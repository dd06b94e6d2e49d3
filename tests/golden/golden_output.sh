#!/usr/bin/env bash
# Compares the command line's JSON, byte for byte, with the outputs kept in
# this folder: the scan of every backup the fixture builder writes (deep
# scan and record signatures, every category), and `carve --json` of every
# database of the public SQLite forensic corpus. A change to the carvers
# that is meant to change what they find regenerates the files, and the
# difference shows in review:
#
#   [UPDATE=1] golden_output.sh CLI FIXTURE GOLDEN_DIR CORPUS_DIR
#
# The backups are written into a temporary root whose path appears in the
# scan output; it is replaced by "<ROOT>". The corpus part is skipped when
# the corpus folder is missing (it is not part of the source tree).
set -euo pipefail
cli="$1"
fixture="$2"
golden="$3"
corpus="$4"
update="${UPDATE:-0}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export TZ=UTC LC_ALL=C

status=0
check() {  # NAME: compares $work/out with $golden/NAME
    local name="$1"
    if [ "$update" = 1 ]; then
        mkdir -p "$(dirname "$golden/$name")"
        cp "$work/out" "$golden/$name"
    elif ! cmp -s "$work/out" "$golden/$name"; then
        echo "golden output differs: $name" >&2
        diff "$golden/$name" "$work/out" 2>&1 | head -20 >&2 || true
        status=1
    fi
}

scanBackups() {  # LABEL ROOT
    local label="$1" root="$2" folder
    for folder in "$root"/*/; do
        folder="${folder%/}"
        for search in deep signatures; do
            "$cli" scan --json --all "--$search" "$folder" 2>/dev/null |
                sed "s#$root#<ROOT>#g" >"$work/out" || true
            check "scan/$label-$(basename "$folder")-$search.json"
        done
    done
}

"$fixture" sample "$work/sample" >/dev/null
scanBackups sample "$work/sample"
# Two bulk backups: small pages with many deleted rows, and the default page
# size with few.
"$fixture" bulk "$work/bulk1" --contacts 300 --multivalues 900 --messages 300 \
    --deleted-percent 30 --page-size 1024 --seed 7 >/dev/null
scanBackups bulk-1024 "$work/bulk1"
"$fixture" bulk "$work/bulk2" --contacts 200 --multivalues 600 --messages 200 \
    --deleted-percent 5 --seed 3 >/dev/null
scanBackups bulk-4096 "$work/bulk2"

if [ -d "$corpus" ]; then
    for db in "$corpus"/*/*.db; do
        "$cli" carve --json "$db" 2>/dev/null | sed "s#$corpus#<CORPUS>#g" >"$work/out" || true
        check "carve/$(basename "$db").json"
    done
else
    echo "corpus not found at $corpus; its part is skipped" >&2
fi
exit "$status"
