#!/bin/bash
# The daemon's trust boundary: a browser's HTTP requests, then tst_scan_guard against the
# emulated scanner and another vendor's device.
# usage: scan_guard.sh TST_SCAN_GUARD
set -u
tst=$1
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
. "$ORVO_SOURCE_DIR/tests/scandaemon/scanfx.sh"
scan_work scanguard

scan_sim_start "$SCAN_WORK/ctl" --usb s1:K20NW:AB1234 --usb kb:FOREIGN:KB0001 || exit 1
scan_daemon_start || exit 1
rc=0
log=$ORVO_INSTALL_ROOT/scan/orvo_scan_info.log
err=$ORVO_INSTALL_ROOT/scan/orvo_scan_err.log

# A web page's POST whose text/plain body is made of protocol records (a device search, a
# deletion), and a plain GET: nothing runs, and the browser's connection ends at once.
python3 -c 'import struct,sys; sys.stdout.buffer.write(struct.pack("<iIIB3x", 0, 0x300E, 0, 0) + struct.pack("<i", 19) + b"x" * 256)' > "$SCAN_WORK/body"
for method in POST GET; do
    start=$(date +%s%N)
    if [ "$method" = POST ]; then
        curl -s -m 10 -X POST -H 'Content-Type: text/plain' --data-binary @"$SCAN_WORK/body" http://127.0.0.1:7003/ > /dev/null
    else
        curl -s -m 10 http://127.0.0.1:7003/ > /dev/null
    fi
    took=$((($(date +%s%N) - start) / 1000000))
    echo "HTTP $method: connection ended after $took ms"
    [ "$took" -lt 1000 ] || { echo "FAIL: HTTP $method took $took ms" >&2; rc=1; }
done
grep -q "undefined scanCommandType 1414745936, connection closed" "$err" || { echo "FAIL: no POST line" >&2; rc=1; }
grep -q "undefined scanCommandType 542393671, connection closed" "$err" || { echo "FAIL: no GET line" >&2; rc=1; }
if grep -q "recv scanCommandType \(0\|19\)$" "$log"; then
    echo "FAIL: a record of the HTTP body ran" >&2
    rc=1
fi

"$tst" "$SCAN_WORK/ctl" || rc=1
if [ "$rc" -ne 0 ]; then
    echo "--- end of the daemon's error log" >&2
    tail -n 20 "$err" >&2
fi
exit $rc
