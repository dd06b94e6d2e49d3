#!/usr/bin/env bash
# Installs the Debian packages listed in debian-packages.txt that are missing;
# with --programs only those that building and running the programs needs.
# Runs apt-get only when something is missing, so repeated runs are quick.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

list="$here/debian-packages.txt"
if [ "${1:-}" = "--programs" ]; then
    list_text="$(sed -e '/^# -- programs end here/,$d' "$list")"
else
    list_text="$(cat "$list")"
fi
mapfile -t wanted < <(sed -e 's/#.*//' <<<"$list_text" | awk 'NF { print $1 }')
missing=()
for pkg in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$pkg")
    fi
done
if ((${#missing[@]} == 0)); then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}" >&2
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
