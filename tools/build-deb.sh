#!/usr/bin/env bash
# Builds the Debian source package and the packages tactl, tasim and tautil
# with dpkg-buildpackage in OUTDIR, where everything lands: the upstream
# tarball (tautil_VERSION.orig.tar.xz, the tree without debian/), the .dsc,
# the .changes and the .deb files. The checkout stays clean and nothing is
# written beside it.
#
#   tools/build-deb.sh OUTDIR                the files git knows, as they are now
#   tools/build-deb.sh --commit REV OUTDIR   the tree of commit REV
#
# DEB_BUILD_OPTIONS (nocheck, parallel=N) passes through to debian/rules.
# DEB_MAINTAINER ("Name <address>") is the maintainer of everything built:
# it replaces the Maintainer field of debian/control in the copy that is
# built, so that the .dsc, the .changes and the packages name the same one.
set -euo pipefail

usage() {
    echo "Usage: $0 [--commit REV] OUTDIR" >&2
    exit 2
}

commit=
if [ "${1-}" = --commit ]; then
    [ $# -ge 2 ] || usage
    commit=$2
    shift 2
fi
[ $# -eq 1 ] || usage

maintainer=${DEB_MAINTAINER:-}
# No newline, "&" or backslash either: the value goes into control fields and awk.
if [ -n "$maintainer" ] && ! [[ $maintainer =~ ^[^$'\n'\<\>\&\\]+\ \<[^$'\n'\<\>\&\\@\ ]+@[^$'\n'\<\>\&\\\ ]+\>$ ]]; then
    echo "$0: DEB_MAINTAINER must read \"Name <address>\", not '$maintainer'" >&2
    exit 2
fi

source=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
out=$(cd "$1" && pwd)
changelog="$source/debian/changelog"
package=$(dpkg-parsechangelog -l "$changelog" -S Source)
version=$(dpkg-parsechangelog -l "$changelog" -S Version)
upstream=${version%-*}
epoch=$(dpkg-parsechangelog -l "$changelog" -S Timestamp)
name="$package-$upstream"
tree="$out/$name"

# The files git knows that are there (a deleted one is not), new ones not ignored.
present_files() {
    git -C "$source" ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' file; do
            if [ -e "$source/$file" ] || [ -L "$source/$file" ]; then
                printf '%s\0' "$file"
            fi
        done
}

rm -rf "$tree"
mkdir -p "$tree"
if [ -n "$commit" ]; then
    git -C "$source" archive --format=tar "$commit" | tar -x -C "$tree"
elif git -C "$source" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    present_files | tar -C "$source" --null -T - -c | tar -x -C "$tree"
else
    tar -C "$source" --exclude='./build*' --exclude='./obj-*' -c . | tar -x -C "$tree"
fi

rm -f "$out"/*.deb "$out"/*.ddeb "$out"/*.buildinfo "$out"/*.changes "$out"/*.dsc "$out"/*.debian.tar.* \
    "$out"/*.orig.tar.*
# The upstream tarball holds the same bytes whoever makes it, whenever and
# with whatever umask: names sorted, one time, no owners, plain modes.
tar -C "$out" --exclude="$name/debian" --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner \
    --mode='u+rw,go=rX,a-s' --format=gnu -cf - "$name" | xz -6 -T1 >"$out/${package}_$upstream.orig.tar.xz"

# The maintainer signs the top entry of the changelog too, so that the
# upload is the maintainer's own, not a stranger's.
if [ -n "$maintainer" ]; then
    awk -v maintainer="$maintainer" '/^Maintainer:/ { print "Maintainer: " maintainer; next } { print }' \
        "$tree/debian/control" >"$tree/debian/control.new"
    mv "$tree/debian/control.new" "$tree/debian/control"
    awk -v maintainer="$maintainer" '!signed && /^ -- / { sub(/^ -- .*>  /, " -- " maintainer "  "); signed = 1 } { print }' \
        "$tree/debian/changelog" >"$tree/debian/changelog.new"
    mv "$tree/debian/changelog.new" "$tree/debian/changelog"
fi

(cd "$tree" && dpkg-buildpackage -us -uc)
ls "$out"/*.dsc "$out"/*.deb
