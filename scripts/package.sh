#!/usr/bin/env bash
# Builds the Debian package and tries it as a user would:
#   1. a Release build of the two programs (build-package/), cpack -G DEB;
#   2. lintian on the package: no error may remain;
#   3. a fresh Debian 12 root (debootstrap, minbase; kept in
#      build-package/root between runs, or the folder given as $ROOT),
#      where apt installs the package with the dependencies it declares;
#   4. in that root, from the installed files only: marlowen-cli --version
#      and a scan of the sample backup.
# Needs root (debootstrap, chroot) and the network for the fresh root.
#   scripts/package.sh
set -euo pipefail
root_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root_dir/build-package"
fresh="${ROOT:-$build/root}"
if [ "$(id -u)" -ne 0 ]; then
    echo "package: needs root for debootstrap and chroot (try: sudo $0)" >&2
    exit 2
fi

"$root_dir/scripts/install-deps.sh"
cmake -S "$root_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DMARLOWEN_BUILD_TESTS=OFF -DMARLOWEN_BUILD_BENCH=OFF >/dev/null
# Without tests and benchmarks, "all" is the programs, the sample writer and
# the installed data (help pages, icons, manual pages, changelog).
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls -t "$build"/marlowen_*.deb | head -n 1)"
echo "package: built $deb"
dpkg-deb --info "$deb" | sed -n 's/^ \(Depends\|Recommends\|Installed-Size\):/package:   \1:/p'

# lintian's errors fail the script; its warnings are shown.
if ! lintian --fail-on error --tag-display-limit 0 "$deb"; then
    echo "package: lintian reports errors" >&2
    exit 1
fi
echo "package: lintian finds no error"

if [ ! -x "$fresh/usr/bin/apt-get" ]; then
    echo "package: making a fresh Debian 12 root in $fresh"
    rm -rf "$fresh"
    debootstrap --variant=minbase bookworm "$fresh" http://deb.debian.org/debian >/dev/null
fi
sample="$build/sample-backups"
rm -rf "$sample"
"$build/tests/support/marlowen-fixture" sample "$sample" >/dev/null
rm -rf "$fresh/tmp/marlowen-try"
mkdir -p "$fresh/tmp/marlowen-try"
cp "$deb" "$fresh/tmp/marlowen-try/"
cp -r "$sample" "$fresh/tmp/marlowen-try/backups"

# The mounts a package's scripts may need, undone whatever happens.
mount -t proc proc "$fresh/proc"
trap 'umount "$fresh/proc" 2>/dev/null || true' EXIT
chroot "$fresh" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    DEBIAN_FRONTEND=noninteractive /bin/sh -ec '
    apt-get update -q >/dev/null
    apt-get install -y -q --no-install-recommends /tmp/marlowen-try/*.deb >/dev/null
    echo "package: installed into the fresh root: $(dpkg-query -W -f="\${Package} \${Version}" marlowen)"
    marlowen-cli --version
    backup="$(find /tmp/marlowen-try/backups -mindepth 1 -maxdepth 1 -type d | head -n 1)"
    marlowen-cli scan --all "$backup" | tail -n 4
    test -x /usr/bin/marlowen
    test -f /usr/share/applications/org.marlowen.Marlowen.desktop
'
echo "package: $deb installs and runs on a fresh Debian 12 root"
