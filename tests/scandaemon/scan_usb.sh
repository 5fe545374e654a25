#!/bin/bash
# USB scans through the installed daemon against three emulated devices.
# usage: scan_usb.sh TST_SCAN_USB
set -u
tst=$1
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
. "$ORVO_SOURCE_DIR/tests/scandaemon/scanfx.sh"
scan_work scanusb

scan_sim_start "$SCAN_WORK/ctl" --usb s1:K20NW:AB1234 --usb s2:K20NW:CD5678 --usb s3:K40N:EF9012 || exit 1
scan_daemon_start || exit 1
"$tst" "$SCAN_WORK/ctl"
