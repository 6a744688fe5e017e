#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
set -euo pipefail

packages=(cmake g++ make ninja-build pkg-config qt6-base-dev libgl-dev
          libgtest-dev libgmock-dev clang libclang-rt-14-dev
          # the package and the checks of what it installs (tests/packaging)
          dpkg-dev appstream desktop-file-utils shared-mime-info libglib2.0-bin groff-base mandoc
          # the Debian packages and their checks (the GUI's autopkgtest runs under
          # xvfb-run); shell scripts
          debhelper fakeroot lintian devscripts shellcheck xvfb xauth
          # the JSON Schema of tactl show --json, the Ansible collection (tests/ansible)
          python3-jsonschema ansible-core
          # the collection's linters (ansible-lint, ansible-test's validate-modules)
          ansible-lint python3-voluptuous
          # a real console server in front of tasim (the network port tests)
          ser2net
          # the shells whose completions of tactl the tests run
          zsh fish)

missing=()
for p in "${packages[@]}"; do
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
