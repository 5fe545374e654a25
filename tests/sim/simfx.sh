# shellcheck shell=bash
# Test fixture for the device simulator; source it from a test script.
#   sim_start SOCK ARGS...   start orvo-mfpsim in the background and wait until its devices exist;
#                            then exports UMOCKDEV_DIR, LD_PRELOAD and ASAN_OPTIONS so that the
#                            programs started afterwards see the emulated USB devices
#   sim_ctl COMMAND...       one control command; prints the data lines, fails on "ERR"
#   sim_batch                the commands on stdin (one a line) over one connection, for
#                            many devices at once; prints the data lines, fails on an "ERR"
#   sim_stop                 quit the simulator (also removes its testbed)
# The binary is $ORVO_MFPSIM, else $ORVO_BUILD_DIR/tests/sim/orvo-mfpsim.

SIM_PID=
SIM_SOCK=

_sim_bin() {
    echo "${ORVO_MFPSIM:-${ORVO_BUILD_DIR:?ORVO_BUILD_DIR not set}/tests/sim/orvo-mfpsim}"
}

# The simulator and its client are never run under the preload themselves.
_sim_run() {
    env -u LD_PRELOAD "$(_sim_bin)" "$@"
}

sim_start() {
    SIM_SOCK=$1
    shift
    local out
    out=$(mktemp "${TMPDIR:-/tmp}/mfpsim-out.XXXXXX") || return 1
    _sim_run --ctl "$SIM_SOCK" "$@" >"$out" 2>&1 &
    SIM_PID=$!
    local i
    for ((i = 0; i < 200; i++)); do
        grep -qx ready "$out" && break
        if ! kill -0 "$SIM_PID" 2>/dev/null; then
            cat "$out" >&2
            rm -f "$out"
            SIM_PID=
            return 1
        fi
        sleep 0.05
    done
    if ! grep -qx ready "$out"; then
        echo "orvo-mfpsim did not become ready" >&2
        rm -f "$out"
        return 1
    fi
    SIM_OUT=$out
    local env
    env=$(_sim_run env "$SIM_SOCK") || return 1
    case $env in
        UMOCKDEV_DIR=?*) export UMOCKDEV_DIR="${env#UMOCKDEV_DIR=}" ;;
        *) echo "orvo-mfpsim named no testbed: $env" >&2; return 1 ;;
    esac
    export LD_PRELOAD=libumockdev-preload.so.0
    export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
}

sim_ctl() {
    _sim_run ctl "$SIM_SOCK" "$@"
}

sim_batch() {
    env -u LD_PRELOAD python3 -c '
import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.connect(sys.argv[1])
f = s.makefile("rw")
for command in sys.stdin.read().splitlines():
    f.write(command + "\n")
    f.flush()
    while True:
        line = f.readline()
        if not line:
            sys.exit(command + ": no reply")
        line = line.rstrip("\n")
        if line == "OK":
            break
        if line.startswith("ERR"):
            sys.exit(command + ": " + line)
        print(line)
' "$SIM_SOCK"
}

# Ends the simulator; one that does not end cleanly (a sanitizer's report, a crash) says so
# with what it printed, and its status is returned.
sim_stop() {
    [ -n "$SIM_PID" ] || return 0
    local rc=0
    _sim_run ctl "$SIM_SOCK" quit >/dev/null 2>&1 || kill "$SIM_PID" 2>/dev/null
    wait "$SIM_PID" 2>/dev/null || rc=$?
    if [ "$rc" -ne 0 ] && [ -n "${SIM_OUT:-}" ]; then
        echo "orvo-mfpsim ended with status $rc; it printed:" >&2
        cat "$SIM_OUT" >&2
    fi
    rm -f "${SIM_OUT:-}"
    SIM_PID=
    SIM_OUT=
    unset LD_PRELOAD UMOCKDEV_DIR
    return "$rc"
}
