#!/usr/bin/env bash
# scripts/screenshot-scan.sh [OUT.png]: regenerates docs/simple-scan.png, simple-scan (a SANE
# front end) with a page it scanned from the simulated USB MFP through the backend "orvo"
# and the scan daemon, taken under Xvfb
# (apt-get install -y simple-scan xvfb xauth imagemagick x11-utils xdotool dbus-daemon).
# Runs the installed suite in the sandbox. ORVO_BUILD_DIR: a built tree (default build).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(readlink -f "${1:-$here/docs/simple-scan.png}")
if [ -z "${ORVO_HARNESS:-}" ]; then
  export ORVO_BUILD_DIR=${ORVO_BUILD_DIR:-$here/build} ORVO_SOURCE_DIR=$here
  exec "$here/tests/harness/orvo-sandbox" -- "$0" "$out"
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/shot.XXXXXX")
export TMPDIR=$WORK
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
. "$ORVO_SOURCE_DIR/tests/scandaemon/scanfx.sh"
. "$ORVO_SOURCE_DIR/tests/sane/sanefx.sh"
gui=
trap '[ -z "$gui" ] || kill "$gui"; sim_stop; rm -rf "$WORK"' EXIT
scan_sim_start "$WORK/ctl" --usb s1:K20NW:AB1234 > /dev/null
scan_daemon_start
sane_start_xvfb
export LANG=C.UTF-8
env -u LD_PRELOAD dbus-run-session -- simple-scan --debug > "$WORK/gui.log" 2>&1 &
gui=$!
win=
for _ in $(seq 200); do
  win=$(xwininfo -root -tree 2> /dev/null | awk '/"Document Scanner"/ { print $1; exit }')
  [ -n "$win" ] && grep -q 'Device: name="orvo:usb:AB1234"' "$WORK/gui.log" && break
  sleep 0.1
done
[ -n "$win" ] || { echo "simple-scan's window did not appear" >&2; tail "$WORK/gui.log" >&2; exit 1; }
# One page: Ctrl+1 is simple-scan's "Single Page" scan.
xdotool windowfocus --sync "$win"
xdotool key ctrl+1
for _ in $(seq 600); do
  grep -q 'sane_read (.*) -> SANE_STATUS_EOF' "$WORK/gui.log" && break
  sleep 0.1
done
grep -q 'SANE_STATUS_EOF' "$WORK/gui.log" || { echo "simple-scan did not finish the page" >&2; tail "$WORK/gui.log" >&2; exit 1; }
sleep 1   # the page view redraws after the last line
import -window "$win" "$out"
echo "wrote $out"
