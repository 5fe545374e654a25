# shellcheck shell=bash
# Test fixture for the scan daemon; source it after tests/sim/simfx.sh.
#   scan_daemon_start   starts the installed daemon (it daemonizes) under the simulator's
#                       environment; fails unless the started process exits 0 and the port
#                       answers
# (The daemon closes its standard streams, so a sanitizer report is lost; a sanitizer
# stops the process, which the tests see. A log_path would be opened under the umockdev
# preload before it is ready, which crashes the program.)
SCAN_DAEMON=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}/bin/orvoK500ScanDaemon

#   scan_work NAME      makes the test's scratch folder $SCAN_WORK (also its TMPDIR); the
#                       simulator is stopped and the folder removed when the script exits
scan_work() {
    SCAN_WORK=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX") || exit 1
    export TMPDIR=$SCAN_WORK SCAN_WORK
    trap 'sim_stop; rm -rf "$SCAN_WORK"' EXIT
}

scan_daemon_start() {
    "$SCAN_DAEMON" || { echo "daemon start exited $?" >&2; return 1; }
    local i
    for ((i = 0; i < 600; i++)); do
        (exec 3<>/dev/tcp/127.0.0.1/7003) 2>/dev/null && return 0
        sleep 0.05
    done
    echo "the daemon does not listen on 127.0.0.1:7003" >&2
    return 1
}

#   scan_sim_start SOCK ARGS...   sim_start with the usbfs forwarding socket: the daemon's
#                                 connection and data processes may then use one device
#                                 descriptor at the same time
scan_sim_start() {
    local sock=$1
    shift
    sim_start "$sock" --usbfwd "$sock.fwd" "$@" || return 1
    export ORVO_USBFWD="$sock.fwd"
    export LD_PRELOAD="$ORVO_BUILD_DIR/tests/sim/liborvo-usbfwd.so libumockdev-preload.so.0"
}
