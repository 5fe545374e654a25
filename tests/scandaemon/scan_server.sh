#!/bin/bash
# The daemon's server against three emulated USB devices (two of one model).
# usage: scan_server.sh TST_SCAN_SERVER
set -u
tst=$1
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
. "$ORVO_SOURCE_DIR/tests/scandaemon/scanfx.sh"
scan_work scansrv

# A second address of this private network namespace, not on the loopback network.
other=10.77.0.1
ip addr add "$other/32" dev lo || exit 1
sim_start "$SCAN_WORK/ctl" --usb s1:K20NW:AB1234 --usb s2:K20NW:CD5678 --usb s3:K40N:EF9012 || exit 1
scan_daemon_start || exit 1
rc=0
"$tst" "$SCAN_WORK/ctl" "$other" || rc=1
exit $rc
