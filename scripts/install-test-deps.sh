#!/usr/bin/env bash
# Installs what the tests need on top of install-deps.sh (Debian 12, as root), and
# the socket and usb CUPS backends (install_cups_backends of install-deps.sh).
# With --check it installs nothing and only checks that every program the tests run is there.
set -euo pipefail

# Every program that a test or test script runs and that a minimal Debian 12 may lack, with
# the package that brings it.
TEST_TOOLS=(
  cupsd:cups-daemon lpadmin:cups-client lpstat:cups-client lp:cups-client cancel:cups-client
  cupsenable:cups-client cupsdisable:cups-client umockdev-run:umockdev udevadm:udev
  unshare:util-linux setpriv:util-linux mountpoint:util-linux ip:iproute2 pgrep:procps ps:procps
  python3:python3 bc:bc xxd:xxd Xvfb:xvfb xauth:xauth xwininfo:x11-utils
  dbus-run-session:dbus-daemon scanimage:sane-utils simple-scan:simple-scan
  desktop-file-validate:desktop-file-utils shellcheck:shellcheck clang-format-14:clang-format-14 dpkg-buildpackage:dpkg-dev
  dh:debhelper lintian:lintian systemd-analyze:systemd ld.lld:lld ninja:ninja-build
)

check_test_tools() {
  local entry missing=()
  for entry in "${TEST_TOOLS[@]}"; do
    command -v "${entry%%:*}" > /dev/null || missing+=("${entry%%:*} (package ${entry#*:})")
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  printf 'install-test-deps: the tests need %s\n' "${missing[@]}" >&2
  return 1
}

if [ "${1:-}" = --check ]; then
  check_test_tools
  exit
fi

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=install-deps.sh
. "$here/install-deps.sh"
# The tests build the suite with Qt 6 and again with Qt 5.
apt_install "${PACKAGES[@]}" qt6-base-dev qt6-tools-dev qt6-l10n-tools qtbase5-dev qttools5-dev qttools5-dev-tools \
  clang-14 libclang-rt-14-dev desktop-file-utils xvfb xauth fonts-wqy-microhei psmisc \
  libjpeg-dev sane-utils simple-scan x11-utils dbus-daemon shellcheck clang-format-14 bc xxd lld ninja-build
# Building, checking and installing the Debian packages (tests/deb).
apt_install build-essential debhelper dpkg-dev libsane-dev lintian systemd udev
check_test_tools

install_cups_backends
