#!/usr/bin/env bash
# Installs the Debian packages one use of the tree needs, only those missing:
#   tools/install-deps.sh [run|test|check|bench|fuzz|package]...
# run: build and run tautil, tactl and tasim; test: build everything and run
# the tests that need no second build (make test); check: those and the ones
# that build the project again (make check); bench, fuzz, package: the make
# targets of those names. No group: all of them.
# Only unversioned names, so that the next Debian release finds them too.
set -euo pipefail

# Building the three programs.
build=(cmake g++ make ninja-build pkg-config qt6-base-dev libgl-dev
       # TLS network ports
       libssl-dev)
# Showing the GUI on a display.
run=("${build[@]}" qt6-qpa-plugins)
test=("${build[@]}" libgtest-dev libgmock-dev
      # what the packaging tests check the installed files with (tests/packaging)
      dpkg-dev appstream desktop-file-utils shared-mime-info libglib2.0-bin groff-base mandoc
      devscripts shellcheck
      # the JSON Schema of tactl show --json, the Ansible collection (tests/ansible)
      python3-jsonschema ansible-core
      # the collection's linters (ansible-lint, ansible-test's validate-modules)
      ansible-lint python3-voluptuous
      # a real console server in front of tasim (the network port tests), and the
      # certificates of its TLS ports
      ser2net openssl
      # the shells whose completions of tactl the tests run
      zsh fish)
# Building the Debian packages (their build runs the tests) and checking them;
# the fuzzers' clang build, with clang's own libFuzzer and sanitizer runtimes.
# The autopkgtest of the GUI runs under xvfb-run.
package=("${test[@]}" debhelper fakeroot lintian xvfb xauth)
fuzz=("${build[@]}" clang libclang-rt-dev)
check=("${package[@]}" "${fuzz[@]}")
# The bench asks python3 for free ports for ser2net, and openssl for its TLS certificate.
bench=("${build[@]}" ser2net python3 openssl)

groups=("$@")
[ ${#groups[@]} -eq 0 ] && groups=(check run bench)
packages=()
for group in "${groups[@]}"; do
    case "$group" in
    run) packages+=("${run[@]}") ;;
    test) packages+=("${test[@]}") ;;
    check) packages+=("${check[@]}") ;;
    bench) packages+=("${bench[@]}") ;;
    fuzz) packages+=("${fuzz[@]}") ;;
    package) packages+=("${package[@]}") ;;
    *) echo "install-deps: unknown group '$group' (run, test, check, bench, fuzz, package)" >&2; exit 2 ;;
    esac
done

missing=()
for p in $(printf '%s\n' "${packages[@]}" | sort -u); do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y --no-install-recommends "${missing[@]}" ||
    { $sudo apt-get update && $sudo apt-get install -y --no-install-recommends "${missing[@]}"; }
