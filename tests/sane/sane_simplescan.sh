#!/bin/bash
# simple-scan, a SANE front end of the desktop, finds the emulated USB MFP through the
# backend and the daemon (under Xvfb).
set -u
WORK=$(mktemp -d "${TMPDIR:-/tmp}/sanegui.XXXXXX")
export TMPDIR=$WORK
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
. "$ORVO_SOURCE_DIR/tests/scandaemon/scanfx.sh"
. "$(dirname "$0")/sanefx.sh"
command -v simple-scan > /dev/null || { echo "simple-scan is not installed (scripts/install-test-deps.sh)" >&2; exit 1; }
gui=
trap '[ -z "$gui" ] || { kill "$gui"; wait "$gui"; }; sane_stop_xvfb; sim_stop; rm -rf "$WORK"' EXIT

scan_sim_start "$WORK/ctl" --usb s1:K20NW:SC0001 || exit 1
scan_daemon_start || exit 1
sane_start_xvfb || exit 1
# simple-scan is started without the sanitizer runtime in front: with it preloaded, its
# start deadlocks in gettext before any SANE call; a sanitized backend still loads.
env -u LD_PRELOAD dbus-run-session -- simple-scan --debug > "$WORK/gui.log" 2>&1 &
gui=$!
found() { grep -qF 'Device: name="orvo:usb:SC0001" vendor="Orvo" model="K20NW"' "$WORK/gui.log"; }
window() { xwininfo -root -tree | grep -q '"Document Scanner"'; }
if ! wait_for "simple-scan to list the scanner" found || ! wait_for "simple-scan's window" window; then
    tail -n 20 "$WORK/gui.log" >&2
    exit 1
fi
echo "sane_simplescan: simple-scan lists orvo:usb:SC0001"
