#!/usr/bin/env bash
# --display: a nested sandbox reaches the X server of $DISPLAY through its path socket;
# without the option it does not.
set -uo pipefail
. "$ORVO_HARNESS/cupsfx.sh"

Xvfb :99 -screen 0 640x480x24 -nolisten tcp > "$TMPDIR/xvfb.log" 2>&1 &
export DISPLAY=:99
probe='import socket; s = socket.socket(socket.AF_UNIX); s.connect("/tmp/.X11-unix/X99")'
# The socket file exists a moment before the server listens on it: wait until it answers.
# shellcheck disable=SC2317 # run through wait_until
x_answers() { python3 -c "$probe" 2> /dev/null; }
check "X server up" wait_until 10 x_answers
unset ORVO_BUILD_DIR
check "with --display the server's socket answers" \
  "$ORVO_HARNESS/orvo-sandbox" --display -- python3 -c "$probe"
# A harness below /tmp makes every sandbox keep /tmp, so there is nothing to hide then.
case "$ORVO_HARNESS" in
  /tmp/*) echo "skip - the harness lives below /tmp, which every sandbox keeps" ;;
  *) check_fails "without it the sandbox's /tmp hides the server" \
       "$ORVO_HARNESS/orvo-sandbox" -- python3 -c "$probe" ;;
esac
finish
