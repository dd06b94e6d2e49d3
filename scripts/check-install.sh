#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and checks what lands there:
# both programs answer --version, the help pages, icons and manual pages are
# in place, and the desktop entry and the AppStream metadata pass
# desktop-file-validate and appstreamcli validate. Seconds, on a tree that is
# already built.
#   scripts/check-install.sh BUILD_DIR
set -euo pipefail
build="${1:?usage: check-install.sh BUILD_DIR}"
prefix="$(mktemp -d "${TMPDIR:-/tmp}/marlowen-install.XXXXXX")"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
app_id=org.marlowen.Marlowen
want=(
    bin/marlowen bin/marlowen-cli
    "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml"
    "share/icons/hicolor/scalable/apps/$app_id.svg"
    share/man/man1/marlowen.1.gz share/man/man1/marlowen-cli.1.gz
    share/marlowen/help/index.html share/marlowen/help/help.html
    share/marlowen/help/learn-more.html share/marlowen/help/support.html
    share/doc/marlowen/copyright share/doc/marlowen/changelog.Debian.gz
)
for size in 16 22 24 32 48 64 128 256; do
    want+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
missing=0
for file in "${want[@]}"; do
    if [ ! -f "$prefix/$file" ]; then
        echo "check-install: not installed: $file" >&2
        missing=1
    fi
done
[ "$missing" -eq 0 ]

desktop-file-validate "$prefix/share/applications/$app_id.desktop"
appstreamcli validate --no-net --explain "$prefix/share/metainfo/$app_id.metainfo.xml"
version="$("$prefix/bin/marlowen-cli" --version)"
gui_version="$("$prefix/bin/marlowen" --version)"
[ "${version#marlowen-cli }" = "${gui_version#marlowen }" ] || {
    echo "check-install: the programs disagree: '$version' and '$gui_version'" >&2
    exit 1
}
# The manual pages must format without a troff warning.
for page in marlowen marlowen-cli; do
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null)"
    if [ -n "$warnings" ]; then
        echo "check-install: $page.1: $warnings" >&2
        exit 1
    fi
done
echo "check-install: $version installs cleanly"
