#!/usr/bin/env bash
# Reproducible packages: builds the Debian packages twice from one commit
# and compares the .deb files byte for byte. The second build differs from
# the first where a build may leak into its result: the folder (name and
# length), the umask, the time zone, the locale and the time itself; ccache
# is off, so that no object of the first build is reused. The dates inside
# come from debian/changelog (SOURCE_DATE_EPOCH).
#
#   bench/reproducible-deb.sh [REV]        (default HEAD)
#
# Prints each build's time and, for each package, whether the two are
# identical; exits 1 when one is not (diffoscope, when installed, says where).
set -euo pipefail

source=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$source" rev-parse --verify "${1:-HEAD}^{commit}")
work=$(mktemp -d "${TMPDIR:-/tmp}/tautil-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT

unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
export CCACHE_DISABLE=1
# The tests ran in the project's own test run; here they would only add time.
export DEB_BUILD_OPTIONS="nocheck ${DEB_BUILD_OPTIONS:-}"

build() {
    local name=$1 started
    started=$(date +%s)
    if ! "$source/tools/build-deb.sh" --commit "$commit" "$work/$name" >"$work/$name.log" 2>&1; then
        tail -n 30 "$work/$name.log"
        echo "reproducible-deb.sh: the $name build failed" >&2
        exit 1
    fi
    echo "$name build: $(($(date +%s) - started)) s"
}

echo "commit $commit"
(umask 022 && TZ=UTC LC_ALL=C.UTF-8 build first)
(umask 002 && TZ=Pacific/Kiritimati LC_ALL=C build second-build-in-a-longer-folder)

differ=0
for deb in "$work"/first/*.deb "$work"/first/*.ddeb; do
    [ -e "$deb" ] || continue
    name=$(basename "$deb")
    other="$work/second-build-in-a-longer-folder/$name"
    if cmp -s "$deb" "$other"; then
        echo "identical  $name  $(sha256sum <"$deb" | cut -d' ' -f1)"
    else
        echo "DIFFERENT  $name"
        differ=1
        if command -v diffoscope >/dev/null; then
            diffoscope --text - "$deb" "$other" | head -n 60 || true
        fi
    fi
done
exit "$differ"
