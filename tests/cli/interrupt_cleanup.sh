#!/usr/bin/env bash
# Ctrl-C during a scan: marlowen-cli ends with 128 + SIGINT and leaves no
# working folder behind (it holds copies of the user's databases, and for an
# encrypted backup their plaintext). Signals arrive while the scan is deep in
# its readers, after the working folder exists.
#
#   interrupt_cleanup.sh BUILD_DIR
set -euo pipefail
build="$1"
cli="$build/src/cli/marlowen-cli"
fixture="$build/tests/support/marlowen-fixture"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tmp"

"$fixture" bulk "$work/root" --contacts 20000 --multivalues 60000 --messages 40000 \
    --deleted-percent 10 >/dev/null
backup="$(find "$work/root" -mindepth 1 -maxdepth 1 -type d | head -1)"

for signal in INT TERM; do
    TMPDIR="$work/tmp" "$cli" scan "$backup" --all --deep --json >/dev/null 2>"$work/err" &
    pid=$!
    # Wait for the working folder, then a little longer, into the readers.
    for _ in $(seq 300); do
        compgen -G "$work/tmp/marlowen-*" >/dev/null && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.02
    done
    if ! compgen -G "$work/tmp/marlowen-*" >/dev/null; then
        wait "$pid" || true
        echo "interrupt_cleanup: the scan ended before its working folder appeared" >&2
        exit 1
    fi
    sleep 0.2
    kill "-$signal" "$pid"
    status=0
    wait "$pid" || status=$?
    case "$signal" in INT) want=130 ;; TERM) want=143 ;; esac
    if [ "$status" != "$want" ]; then
        echo "interrupt_cleanup: SIG$signal gave status $status, not $want" >&2
        cat "$work/err" >&2
        exit 1
    fi
    if compgen -G "$work/tmp/marlowen-*" >/dev/null; then
        echo "interrupt_cleanup: SIG$signal left a working folder behind:" >&2
        ls -la "$work/tmp" >&2
        exit 1
    fi
    echo "interrupt_cleanup: SIG$signal: status $status, no working folder left"
done
