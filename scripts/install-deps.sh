#!/usr/bin/env bash
# Installs what building the suite needs (Debian 12, as root); with --demo also what the demo
# runs (scanimage, the CUPS backends of the sandbox's scheduler). Quick and offline when
# everything is already there.
set -euo pipefail

# ORVO_QT_MAJOR=5 builds against Qt 5.15 instead of Qt 6 (as cmake -DORVO_QT_MAJOR=5).
if [ "${ORVO_QT_MAJOR:-6}" = 5 ]; then
  QT_PACKAGES=(qtbase5-dev qttools5-dev qttools5-dev-tools)
else
  QT_PACKAGES=(qt6-base-dev qt6-tools-dev qt6-l10n-tools)
fi
PACKAGES=(
  g++ cmake make pkg-config "${QT_PACKAGES[@]}" libusb-1.0-0-dev libcups2-dev
  cups-daemon cups-client umockdev libumockdev-dev iproute2 procps python3
  libsane-dev libjpeg-dev
)
DEMO_PACKAGES=(sane-utils)

# apt_install PKG...: installs the packages that are missing, updating the index only then.
apt_install() {
  local missing=() p
  for p in "$@"; do
    if [ "$(dpkg-query -W -f='${Status}' "$p" 2> /dev/null)" != "install ok installed" ]; then
      missing+=("$p")
    fi
  done
  [ "${#missing[@]}" -gt 0 ] || return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages ${missing[*]}; run as root to install them" >&2
    exit 1
  fi
  echo "install-deps: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" > /dev/null
}

# install_cups_backends: the socket and usb CUPS backends that the sandbox's private
# scheduler uses. They live in the "cups" package, which would pull in the whole filter
# stack, so they are unpacked from its .deb instead of installing it.
install_cups_backends() {
  local backends=/var/cache/orvo-k500-test/backend work b
  if [ -x "$backends/socket" ] && [ -x "$backends/usb" ]; then
    return 0
  fi
  work=$(mktemp -d)
  echo "install-deps: unpacking the socket and usb backends into $backends" >&2
  if ! (cd "$work" && apt-get download cups > download.log 2>&1); then
    apt-get update -qq
    (cd "$work" && apt-get download cups > download.log 2>&1) ||
      { cat "$work/download.log" >&2; echo "install-deps: cannot download the cups package" >&2; rm -rf "$work"; exit 1; }
  fi
  dpkg -x "$work"/cups_*.deb "$work/x"
  mkdir -p "$backends"
  for b in socket usb; do
    [ -f "$work/x/usr/lib/cups/backend-available/$b" ] ||
      { echo "install-deps: the cups package has no backend '$b'" >&2; rm -rf "$work"; exit 1; }
    cp -a "$work/x/usr/lib/cups/backend-available/$b" "$backends/$b.new"
    mv "$backends/$b.new" "$backends/$b"
  done
  rm -rf "$work"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  apt_install "${PACKAGES[@]}"
  if [ "${1:-}" = --demo ]; then
    apt_install "${DEMO_PACKAGES[@]}"
    install_cups_backends
  fi
fi
