#!/usr/bin/env bash
# Installs what building the suite and running the demo need (Debian 12, as root).
# Quick and offline when everything is already there.
set -euo pipefail

# ORVO_QT_MAJOR=5 builds against Qt 5.15 instead of Qt 6 (as cmake -DORVO_QT_MAJOR=5).
if [ "${ORVO_QT_MAJOR:-6}" = 5 ]; then
  QT_PACKAGES=(qtbase5-dev)
else
  QT_PACKAGES=(qt6-base-dev)
fi
PACKAGES=(
  g++ cmake make pkg-config "${QT_PACKAGES[@]}" libusb-1.0-0-dev libcups2-dev
  cups-daemon cups-client umockdev libumockdev-dev iproute2 procps python3
  libsane-dev libjpeg-dev
)

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

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  apt_install "${PACKAGES[@]}"
fi
