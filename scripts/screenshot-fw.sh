#!/usr/bin/env bash
# scripts/screenshot-fw.sh [WINDOW.png PROGRESS.png]: regenerates docs/fw-update.png and
# docs/fw-update-progress.png, the firmware updater's window and its progress dialog, and
# their English twins (WINDOW-en.png, PROGRESS-en.png), taken
# under Xvfb with the WenQuanYi Micro Hei font (apt-get install -y xvfb fonts-wqy-microhei).
# Runs in the sandbox beside the device simulator, whose K40N printer stops taking data
# part-way so that the dialog shows a transfer under way.
# ORVO_BUILD_DIR: a built tree (default build).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${ORVO_HARNESS:-}" ]; then
  export ORVO_BUILD_DIR=${ORVO_BUILD_DIR:-$here/build} ORVO_SOURCE_DIR=$here
  exec "$here/tests/harness/orvo-sandbox" -- "$0" "$(readlink -f "${1:-$here/docs/fw-update.png}")" \
    "$(readlink -f "${2:-$here/docs/fw-update-progress.png}")"
fi

root=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}
mkdir -p "$root/cfg"
cat > "$root/cfg/printerlist.ini" << 'INI'
[Main]
Count=3

[printer_0]
Name=Office_K40N
Model=Orvo K40N
ConnectType=1
Port=Orvo/K40N?serial=FW0001
URI=usb://Orvo/K40N?serial=FW0001

[printer_1]
Name=Lab_K40N
Model=Orvo K40N
ConnectType=2
Port=127.0.0.2
URI=socket://127.0.0.2:9100

[printer_2]
Name=Lobby_K20NW
Model=Orvo K20NW
ConnectType=1
Port=Orvo/K20NW?serial=AB1234
URI=usb://Orvo/K20NW?serial=AB1234
INI
: > "$root/cfg/Office_K40N.dat"   # the service's status file: the printer answers
mkdir -p "$TMPDIR/firmware"
image=$TMPDIR/firmware/K40N_V1.02.00.fls
head -c $((6 * 1048576)) /dev/urandom > "$image"

. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
sim_start "$TMPDIR/sim.sock" --usb p1:K40N:FW0001
trap sim_stop EXIT

export QT_QPA_PLATFORM=xcb DISPLAY=:78
Xvfb :78 -screen 0 1280x800x24 -nolisten tcp > "$TMPDIR/xvfb.log" 2>&1 &
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X78 ] && break; sleep 0.1; done
# shot LANG WINDOW.png PROGRESS.png: one run, the printer stopping part-way again.
shot() {
  sim_ctl stream p1 hold $((5 * 1048576 / 2))
  LANG=$1 "$ORVO_BUILD_DIR/tests/fwupdate/shot_fw" "$2" "$3" "$image"
}
shot C.UTF-8 "$1" "$2"
shot en_US.UTF-8 "${1%.png}-en.png" "${2%.png}-en.png"
echo "wrote $1 $2 and their -en.png twins"
