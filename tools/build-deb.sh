#!/usr/bin/env bash
# Builds the Debian packages tactl and tautil with dpkg-buildpackage from a
# copy of the source tree in OUTDIR, where the .deb files land too: the
# checkout stays clean and nothing is written beside it.
#
#   tools/build-deb.sh OUTDIR                the files git knows, as they are now
#   tools/build-deb.sh --commit REV OUTDIR   the tree of commit REV
#
# DEB_BUILD_OPTIONS (nocheck, parallel=N) and DEB_MAINTAINER ("Name
# <address>", the packages' Maintainer field) pass through to debian/rules.
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

source=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
out=$(cd "$1" && pwd)
version=$(dpkg-parsechangelog -l "$source/debian/changelog" -S Version)
tree="$out/tautil-$version"

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

rm -f "$out"/*.deb "$out"/*.ddeb "$out"/*.buildinfo "$out"/*.changes
(cd "$tree" && dpkg-buildpackage -us -uc -b)
ls "$out"/*.deb
