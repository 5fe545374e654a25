#!/bin/bash
# The daemon's bounds on network scans, with the scan folder a 300 MiB file system of its
# own: a second start during a scan, a page larger than the room, the quit signal.
# usage: scan_netguard.sh TST_SCAN_NET
set -u
tst=$1
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
. "$ORVO_SOURCE_DIR/tests/scandaemon/scanfx.sh"
scan_work scannetguard

mount -t tmpfs -o size=300m,mode=0755 orvo-scan "$ORVO_INSTALL_ROOT/scan" || exit 1
sim_start "$SCAN_WORK/ctl" --net n1:K40N:127.0.0.2 || exit 1
scan_daemon_start || exit 1
rc=0
"$tst" "$SCAN_WORK/ctl" 127.0.0.2 guard || rc=1
if [ "$rc" -ne 0 ]; then
    echo "--- end of the daemon's error log" >&2
    tail -n 20 "$ORVO_INSTALL_ROOT/scan/orvo_scan_err.log" >&2
fi
exit $rc
