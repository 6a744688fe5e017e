#!/usr/bin/env bash
# The Debian packages as a distribution takes them: built by dpkg-buildpackage
# from a copy of the tree (without running the tests again), then lintian
# with no error and no warning, hardening-check on every program, tactl
# without the GUI libraries, every file in its package and the maintainer
# taken from DEB_MAINTAINER.
#
#   check-debian-package.sh SOURCE_DIR WORK_DIR
#
# Exits 77 (skipped) when a packaging tool is missing.
set -euo pipefail

source=$1
work=$2
for tool in dpkg-buildpackage dh lintian hardening-check; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool missing (tools/install-deps.sh installs it); skipped"
        exit 77
    fi
done

maintainer="Jane Packager <jane@example.net>"
rm -rf "$work"
mkdir -p "$work"
if ! DEB_BUILD_OPTIONS="nocheck parallel=2" DEB_MAINTAINER="$maintainer" \
    "$source/tools/build-deb.sh" "$work" >"$work/build.log" 2>&1; then
    tail -n 40 "$work/build.log"
    echo "FAILED: dpkg-buildpackage (all of it in $work/build.log)"
    exit 1
fi
version=$(dpkg-parsechangelog -l "$source/debian/changelog" -S Version)
arch=$(dpkg --print-architecture)
cd "$work"

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

field() { dpkg-deb -f "${1}_${version}_$arch.deb" "$2"; }

# Every file named here is in that package; the package holds no other program.
expect_files() {
    local package=$1
    shift
    local listing
    listing=$(dpkg-deb -c "${package}_${version}_$arch.deb" | awk '{ print $6 }' | sed 's|^\./|/|')
    for file in "$@"; do
        grep -qxF "$file" <<<"$listing" || fail "$package lacks $file"
    done
    while IFS= read -r program; do
        printf '%s\n' "$@" | grep -qxF "$program" || fail "$package holds $program"
    done < <(grep '^/usr/bin/.' <<<"$listing")
}

expect_files tactl /usr/bin/tactl /usr/bin/tasim /usr/share/man/man1/tactl.1.gz /usr/share/man/man1/tasim.1.gz \
    /usr/share/bash-completion/completions/tactl /usr/share/doc/tactl/copyright \
    /usr/share/doc/tactl/examples/70-isdn-ta-modemmanager.rules
expect_files tautil /usr/bin/tautil /usr/share/man/man1/tautil.1.gz /usr/share/mime/packages/tautil.xml \
    /usr/share/applications/org.example.tautil.desktop /usr/share/metainfo/org.example.tautil.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/tautil.svg /usr/share/icons/hicolor/48x48/apps/tautil.png \
    /usr/share/doc/tautil/copyright

# The command line needs Qt Core alone; the GUI needs the command line.
tactl_depends=$(field tactl Depends)
grep -q libqt6core6 <<<"$tactl_depends" || fail "tactl does not depend on Qt Core: $tactl_depends"
if grep -Eq 'libqt6(gui|widgets)|qt6-qpa' <<<"$tactl_depends"; then
    fail "tactl depends on the GUI stack: $tactl_depends"
fi
tautil_depends=$(field tautil Depends)
for dependency in "tactl (= $version)" libqt6widgets6 qt6-qpa-plugins; do
    grep -qF "$dependency" <<<"$tautil_depends" || fail "tautil does not depend on $dependency: $tautil_depends"
done
for package in tactl tautil; do
    [ "$(field "$package" Maintainer)" = "$maintainer" ] || fail "$package Maintainer: $(field "$package" Maintainer)"
done

# lintian's own exit status also counts tags it only informs about.
lintian --tag-display-limit 0 ./*.deb >lintian.txt 2>&1 || true
if grep -E '^(E|W):' lintian.txt; then
    fail "lintian"
fi

for package in tactl tautil; do
    dpkg-deb -x "${package}_${version}_$arch.deb" root
done
# The five protections asked of a Debian program; control-flow protection
# needs a newer dpkg-buildflags than Debian 12's.
if ! hardening-check --nocfprotection root/usr/bin/*; then
    fail "hardening-check"
fi
[ "$(root/usr/bin/tactl --version)" = "tactl $version" ] || fail "the packaged tactl does not run"

[ "$failures" -eq 0 ] || exit 1
echo "tactl and tautil $version: contents, dependencies, lintian and hardening as they should be"
