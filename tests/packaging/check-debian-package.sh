#!/usr/bin/env bash
# The Debian packages as a distribution takes them: the source package and
# the packages tactl, tasim and tautil built by tools/build-deb.sh from an
# upstream tarball made from git (without running the tests again), then
# lintian with no error, warning or pedantic tag, hardening-check on every
# program, tactl without the GUI libraries, every file in its package, the
# maintainer taken from DEB_MAINTAINER everywhere, and the autopkgtest of
# debian/tests run against the packages unpacked into a scratch root.
#
#   check-debian-package.sh SOURCE_DIR WORK_DIR
#
# Exits 77 (skipped) when a packaging tool is missing. XVFB_SERVER_NUM: the
# first display number the GUI's test tries.
set -euo pipefail

source=$1
work=$2
for tool in dpkg-buildpackage dh lintian hardening-check xvfb-run; do
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
upstream=${version%-*}
arch=$(dpkg --print-architecture)
cd "$work"

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

field() { dpkg-deb -f "${1}_${version}_$arch.deb" "$2"; }
control_field() { grep -m1 "^$2:" "$1" | cut -d' ' -f2-; }

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

expect_files tactl /usr/bin/tactl /usr/share/man/man1/tactl.1.gz /usr/share/bash-completion/completions/tactl \
    /usr/share/zsh/vendor-completions/_tactl /usr/share/fish/vendor_completions.d/tactl.fish \
    /usr/share/doc/tactl/copyright /usr/share/doc/tactl/README.md.gz /usr/share/doc/tactl/profile.schema.json \
    /usr/share/doc/tactl/tactl.schema.json /usr/share/doc/tactl/examples/70-isdn-ta-modemmanager.rules
expect_files tasim /usr/bin/tasim /usr/share/man/man1/tasim.1.gz /usr/share/doc/tasim/copyright
expect_files tautil /usr/bin/tautil /usr/share/man/man1/tautil.1.gz /usr/share/mime/packages/tautil.xml \
    /usr/share/applications/org.example.tautil.desktop /usr/share/metainfo/org.example.tautil.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/tautil.svg /usr/share/icons/hicolor/48x48/apps/tautil.png \
    /usr/share/doc/tautil/copyright

# The command line needs Qt Core alone; the GUI needs the command line; the
# simulated TA needs neither.
tactl_depends=$(field tactl Depends)
grep -q libqt6core6 <<<"$tactl_depends" || fail "tactl does not depend on Qt Core: $tactl_depends"
if grep -Eq 'libqt6(gui|widgets)|qt6-qpa' <<<"$tactl_depends"; then
    fail "tactl depends on the GUI stack: $tactl_depends"
fi
if grep -Eq 'libqt6|tactl' <<<"$(field tasim Depends)"; then
    fail "tasim depends on Qt or tactl: $(field tasim Depends)"
fi
tautil_depends=$(field tautil Depends)
for dependency in "tactl (= $version)" libqt6widgets6 qt6-qpa-plugins; do
    grep -qF "$dependency" <<<"$tautil_depends" || fail "tautil does not depend on $dependency: $tautil_depends"
done
for package in tactl tasim; do
    [ "$(field "$package" Multi-Arch)" = foreign ] || fail "$package is not Multi-Arch: foreign"
done

# One maintainer everywhere.
for package in tactl tasim tautil; do
    [ "$(field "$package" Maintainer)" = "$maintainer" ] || fail "$package Maintainer: $(field "$package" Maintainer)"
done
for file in ./*.dsc ./*.changes; do
    [ "$(control_field "$file" Maintainer)" = "$maintainer" ] || fail "$file Maintainer: $(control_field "$file" Maintainer)"
done
changes=$(echo ./*.changes)
[ "$(control_field "$changes" Changed-By)" = "$maintainer" ] || fail "Changed-By: $(control_field "$changes" Changed-By)"

# The source package: quilt over an upstream tarball without debian/.
dsc=$(echo ./*.dsc)
[ "$(control_field "$dsc" Format)" = "3.0 (quilt)" ] || fail "source format: $(control_field "$dsc" Format)"
grep -qF "cmake (>= 3.25)" <<<"$(control_field "$dsc" Build-Depends)" || fail "Build-Depends lacks cmake (>= 3.25)"
[ "$(control_field "$dsc" Testsuite)" = autopkgtest ] || fail "the source package names no autopkgtest"
orig="tautil_$upstream.orig.tar.xz"
if ! orig_listing=$(tar -tJf "$orig"); then
    fail "no upstream tarball $orig"
elif grep -q "^tautil-$upstream/debian/" <<<"$orig_listing"; then
    fail "$orig holds debian/"
elif ! grep -qxF "tautil-$upstream/CMakeLists.txt" <<<"$orig_listing"; then
    fail "$orig lacks the sources"
fi

# lintian's own exit status also counts tags it only informs about; the
# .changes brings the source package and every binary package.
lintian --pedantic --tag-display-limit 0 ./*.changes >lintian.txt 2>&1 || true
if grep -E '^(E|W|P):' lintian.txt; then
    fail "lintian"
fi

for package in tactl tasim tautil; do
    dpkg-deb -x "${package}_${version}_$arch.deb" root
done
# The five protections asked of a Debian program; control-flow protection
# needs a newer dpkg-buildflags than Debian 12's.
if ! hardening-check --nocfprotection root/usr/bin/*; then
    fail "hardening-check"
fi
[ "$(root/usr/bin/tactl --version)" = "tactl $upstream" ] || fail "the packaged tactl does not run"

# The autopkgtest of the source package, each test as debian/tests/control
# names it, against the packages in the scratch root.
tests_run=0
while IFS= read -r test_command; do
    echo "autopkgtest: $test_command"
    tests_run=$((tests_run + 1))
    # shellcheck disable=SC2086 # the command and its arguments, as the control file gives them
    if ! (cd "tautil-$upstream" && TA_TEST_ROOT="$work/root" $test_command) >autopkgtest.log 2>&1; then
        cat autopkgtest.log
        fail "autopkgtest $test_command"
    fi
done < <(sed -n 's/^Test-Command: //p' "tautil-$upstream/debian/tests/control")
[ "$tests_run" -gt 0 ] || fail "debian/tests/control names no test"

[ "$failures" -eq 0 ] || exit 1
echo "tactl, tasim and tautil $version: contents, dependencies, maintainer, source package, lintian, hardening and autopkgtest as they should be"
