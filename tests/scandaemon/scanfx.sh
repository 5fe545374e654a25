# Test fixture for the scan daemon; source it after tests/sim/simfx.sh.
#   scan_daemon_start   starts the installed daemon (it daemonizes) under the simulator's
#                       environment; fails unless the started process exits 0 and the port
#                       answers
# (The daemon closes its standard streams, so a sanitizer report is lost; a sanitizer
# stops the process, which the tests see. A log_path would be opened under the umockdev
# preload before it is ready, which crashes the program.)
SCAN_DAEMON=/opt/orvo/orvo-printer-k500/bin/orvoK500ScanDaemon

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
