#!/usr/bin/env bash
# Installs what the tests need on top of install-deps.sh (Debian 12, as root), and
# the socket and usb CUPS backends. Those live in the "cups" package, which would
# pull in the whole filter stack, so they are unpacked from its .deb instead of
# installing it.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/install-deps.sh"
apt_install "${PACKAGES[@]}" \
  clang-14 libclang-rt-14-dev desktop-file-utils xvfb xauth fonts-wqy-microhei psmisc \
  libjpeg-dev sane-utils simple-scan x11-utils dbus-daemon shellcheck
# Building, checking and installing the Debian packages (tests/deb).
apt_install build-essential debhelper dpkg-dev libsane-dev lintian systemd

BACKENDS=/var/cache/orvo-k500-test/backend
if [ -x "$BACKENDS/socket" ] && [ -x "$BACKENDS/usb" ]; then
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "install-test-deps: unpacking the socket and usb backends into $BACKENDS" >&2
if ! (cd "$work" && apt-get download cups > download.log 2>&1); then
  apt-get update -qq
  (cd "$work" && apt-get download cups > download.log 2>&1) ||
    { cat "$work/download.log" >&2; echo "install-test-deps: cannot download the cups package" >&2; exit 1; }
fi
dpkg -x "$work"/cups_*.deb "$work/x"
mkdir -p "$BACKENDS"
for b in socket usb; do
  [ -f "$work/x/usr/lib/cups/backend-available/$b" ] ||
    { echo "install-test-deps: the cups package has no backend '$b'" >&2; exit 1; }
  cp -a "$work/x/usr/lib/cups/backend-available/$b" "$BACKENDS/$b.new"
  mv "$BACKENDS/$b.new" "$BACKENDS/$b"
done
