#!/usr/bin/env bash
# --display: a nested sandbox reaches the X server of $DISPLAY through its path socket;
# without the option it does not.
set -uo pipefail
. "$ORVO_HARNESS/cupsfx.sh"

# Xvfb picks a free display: when the source tree lives below /tmp every sandbox shares the
# machine's /tmp, where another server or a stale lock may hold any fixed number.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3> "$TMPDIR/xvfb.display" 2> "$TMPDIR/xvfb.log" &
xvfb=$!
check "X server up" wait_until 10 test -s "$TMPDIR/xvfb.display"
display=$(head -n 1 "$TMPDIR/xvfb.display")
export DISPLAY=:$display
probe="import socket; s = socket.socket(socket.AF_UNIX); s.connect('/tmp/.X11-unix/X$display')"
unset ORVO_BUILD_DIR
check "with --display the server's socket answers" \
  "$ORVO_HARNESS/orvo-sandbox" --display -- python3 -c "$probe"
# A harness below /tmp makes every sandbox keep /tmp, so there is nothing to hide then.
case "$ORVO_HARNESS" in
  /tmp/*) echo "skip - the harness lives below /tmp, which every sandbox keeps" ;;
  *) check_fails "without it the sandbox's /tmp hides the server" \
       "$ORVO_HARNESS/orvo-sandbox" -- python3 -c "$probe" ;;
esac
# Ended here, the server removes its socket and lock, so nothing of it stays in a shared /tmp.
kill "$xvfb" && wait "$xvfb"
finish
