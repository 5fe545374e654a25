#!/bin/bash
# The daemon's network side against the simulator's network MFP on 127.0.0.2, then once
# more after this network namespace got an address of its own besides loopback.
# usage: scan_net.sh TST_SCAN_NET
set -u
tst=$1
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
. "$ORVO_SOURCE_DIR/tests/scandaemon/scanfx.sh"
scan_work scannet

sim_start "$SCAN_WORK/ctl" --net n1:K40N:127.0.0.2 || exit 1
scan_daemon_start || exit 1
rc=0
"$tst" "$SCAN_WORK/ctl" 127.0.0.2 main || rc=1

# A veth pair of this private namespace: an up, running, broadcast and multicast interface.
ip link add orvo0 type veth peer name orvo1 &&
    ip addr add 10.77.0.5/24 dev orvo0 &&
    ip link set orvo1 up && ip link set orvo0 up || exit 1
"$tst" "$SCAN_WORK/ctl" 127.0.0.2 hostaddr || rc=1
if [ "$rc" -ne 0 ]; then
    echo "--- end of the daemon's error log" >&2
    tail -n 40 "$ORVO_INSTALL_ROOT/scan/orvo_scan_err.log" >&2
fi
if scan_san_reports; then
    echo "sanitizer reports from the daemon" >&2
    rc=1
fi
exit $rc
