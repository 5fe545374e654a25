# shellcheck shell=bash
# Test fixture for SANE front ends in the sandbox; source it after tests/sim/simfx.sh.
#   sane_run ARGS...     scanimage ARGS with the backend installed in the sandbox
#   sane_expect_clean    fails when the scan directory still holds a page file
#   wait_for DESC CMD... runs CMD until it succeeds (at most about 60 s)
# The sandbox's private /etc/sane.d enables only the backends installed from the build.
SANE_BACKEND=$(find /usr/lib -mindepth 3 -maxdepth 3 -path '/usr/lib/*/sane/libsane-orvo.so.1' 2> /dev/null | head -n 1)
SCAN_DIR=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}/scan

# A backend built with AddressSanitizer needs its runtime loaded first; the simulator's
# preload is for the daemon only (front ends never touch USB).
SANE_PRELOAD=$(ldd "$SANE_BACKEND" 2> /dev/null | awk '/libasan/ { print $3 }')

# A background command of a script starts with SIGINT ignored, and scanimage then keeps it
# ignored: it gets its default back, as on a terminal.
sane_run() {
    env --default-signal=INT -u LD_PRELOAD ${SANE_PRELOAD:+LD_PRELOAD=$SANE_PRELOAD} scanimage "$@"
}

sane_expect_clean() {
    local left
    left=$(find "$SCAN_DIR" -name 'orvoscandata_*' 2> /dev/null)
    [ -z "$left" ] || { echo "page files left behind: $left" >&2; return 1; }
}

wait_for() {
    local desc=$1 i
    shift
    for ((i = 0; i < 1200; i++)); do
        "$@" > /dev/null 2>&1 && return 0
        sleep 0.05
    done
    echo "timed out waiting for $desc" >&2
    return 1
}

# The scanimage process that a background "sane_run ... &" (pid $1) runs.
sane_scanimage_pid() {
    wait_for "scanimage to start" pgrep -P "$1" -x scanimage && pgrep -P "$1" -x scanimage
}

SANE_FAILS=0
sane_fail() {
    echo "FAIL: $*" >&2
    SANE_FAILS=$((SANE_FAILS + 1))
}

# Starts Xvfb on a free display (Xvfb picks it) and exports DISPLAY; sane_stop_xvfb ends it.
SANE_XVFB_PID=
sane_start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$TMPDIR/xvfb.display" 2> "$TMPDIR/xvfb.log" &
    SANE_XVFB_PID=$!
    wait_for "Xvfb" test -s "$TMPDIR/xvfb.display" || return 1
    DISPLAY=:$(head -n 1 "$TMPDIR/xvfb.display")
    export DISPLAY
}

# Waits for the server to end, so that it removes its socket and lock: with the source tree
# below /tmp the sandbox shares the machine's /tmp.
sane_stop_xvfb() {
    [ -z "$SANE_XVFB_PID" ] || { kill "$SANE_XVFB_PID" && wait "$SANE_XVFB_PID"; }
}
