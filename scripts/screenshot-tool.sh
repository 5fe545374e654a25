#!/usr/bin/env bash
# scripts/screenshot-tool.sh [OUT.png]: regenerates docs/tray-tool.png, the tray tool's window
# with three printers, and its English twin (OUT-en.png), taken under Xvfb with the WenQuanYi Micro Hei font
# (apt-get install -y xvfb xauth fonts-wqy-microhei imagemagick x11-utils).
# Runs the installed tool in the sandbox on a printer list and two status files written here.
# ORVO_BUILD_DIR: a built tree (default build).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(readlink -f "${1:-$here/docs/tray-tool.png}")
if [ -z "${ORVO_HARNESS:-}" ]; then
  export ORVO_BUILD_DIR=${ORVO_BUILD_DIR:-$here/build} ORVO_SOURCE_DIR=$here
  exec "$here/tests/harness/orvo-sandbox" -- "$0" "$out"
fi

root=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}
mkdir -p "$root/cfg"
cat > "$root/cfg/printerlist.ini" << 'INI'
[Main]
Count=3

[printer_0]
Name=Office_K20NW
Model=Orvo K20NW
ConnectType=1
Port=Orvo/K20NW?serial=AB1234
URI=usb://Orvo/K20NW?serial=AB1234

[printer_1]
Name=Lab_K40N
Model=Orvo K40N
ConnectType=2
Port=127.0.0.2
URI=socket://127.0.0.2:9100

[printer_2]
Name=Store_K20NW
Model=Orvo K20NW
ConnectType=1
Port=Orvo/K20NW?serial=CD5678
URI=usb://Orvo/K20NW?serial=CD5678
INI

# Status replies as the service stores them, from the suite's own encoder.
reply=$ORVO_BUILD_DIR/tests/sim/orvo-statusreply
"$reply" --status 16 --warnings 0x6160 --ink 12,85,55,30 > "$root/cfg/Office_K20NW.dat"
"$reply" --status 0 --errors 0x6100 --ink 75,0,45,90 > "$root/cfg/Lab_K40N.dat"
# The error with the longest English text.
"$reply" --status 0 --errors 0x7200 --ink 40,40,40,40 > "$root/cfg/Store_K20NW.dat"

export QT_QPA_PLATFORM=xcb DISPLAY=:77
Xvfb :77 -screen 0 1280x800x24 -nolisten tcp > "$TMPDIR/xvfb.log" 2>&1 &
xvfb=$!
# The display is up once its socket is there, however long a busy machine takes; not if Xvfb ended.
until [ -e /tmp/.X11-unix/X77 ]; do
  kill -0 "$xvfb" 2> /dev/null || { echo "Xvfb did not start" >&2; cat "$TMPDIR/xvfb.log" >&2; exit 1; }
  sleep 0.1
done
# shot LANG TITLE OUT.png: one run of the tool, found by its window title.
shot() {
  LANG=$1 "$root/bin/orvoK500Tool" > "$TMPDIR/tool.log" 2>&1 &
  local tool=$! win=
  # Its window comes while the tool runs, however long that takes.
  until win=$(xwininfo -root -tree 2> /dev/null | awk -v t="\"$2\"" 'index($0, t) {print $1; exit}'); [ -n "$win" ]; do
    kill -0 "$tool" 2> /dev/null || { echo "the tool ended without its window" >&2; cat "$TMPDIR/tool.log" >&2; exit 1; }
    sleep 0.1
  done
  sleep 3   # the first status of every row (about one status cycle)
  import -window "$win" "$3"
  kill "$tool"
  wait "$tool" || true   # one instance at a time
}
shot C.UTF-8 "Orvo喷墨打印机助手" "$out"
shot en_US.UTF-8 "Orvo Inkjet Printer Assistant" "${out%.png}-en.png"
echo "wrote $out and ${out%.png}-en.png"
