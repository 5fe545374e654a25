#!/bin/bash
# Interrupting scanimage mid-page aborts the scan in the scanner, leaves no page file and
# the next scan works; a scanner that stops sending ends the scan after the time-out;
# many open/scan/close cycles in one front end leave no descriptor behind.
# usage: sane_cancel.sh SANE_PNMCHECK SANE_DRIVE
set -u
check=$1
drive=$2
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
. "$ORVO_SOURCE_DIR/tests/scandaemon/scanfx.sh"
. "$(dirname "$0")/sanefx.sh"
scan_work sanecancel

scan_sim_start "$SCAN_WORK/ctl" --usb s1:K20NW:SC0001 || exit 1
scan_daemon_start || exit 1

info() { sim_ctl scan "$1" info | awk -v k="$2" '$1 == k { print $2 }'; }
records_at_least() { [ "$(info s1 records)" -ge "$1" ]; }
page_file_exists() { [ -n "$(find "$SCAN_DIR" -name 'orvoscandata_*_0.tmp' -size +0)" ]; }

# The scanner stops sending after 6 records: scanimage waits inside sane_read.
sim_ctl scan s1 chunk 4096 > /dev/null
sim_ctl scan s1 hold 6 > /dev/null
sane_run -d orvo:usb:SC0001 --mode Color --resolution 300 -x 100 -y 100 -o "$SCAN_WORK/cut.pnm" 2> "$SCAN_WORK/err" &
sub=$!
pid=$(sane_scanimage_pid "$sub")
if wait_for "the scan to pause mid-page" records_at_least 6 && wait_for "the first page file" page_file_exists; then
    kill -INT "$pid"
    wait "$sub"
    rc=$?
    [ "$rc" -ne 0 ] || sane_fail "an interrupted scanimage exited 0"
    [ "$(info s1 aborts)" = 1 ] || sane_fail "the scanner got $(info s1 aborts) aborts"
    [ "$(info s1 locked)" = 0 ] || sane_fail "the interrupted scan left the scanner locked"
    sane_expect_clean || sane_fail "the interrupted scan left page files"
else
    kill "$pid"
    wait "$sub"
    sane_fail "the scan never paused: $(sim_ctl scan s1 info | tr '\n' ' ')"
fi
sim_ctl scan s1 release > /dev/null
sim_ctl scan s1 chunk 32768 > /dev/null
if sane_run -d orvo:usb:SC0001 --mode Gray --resolution 150 -x 30 -y 20 -o "$SCAN_WORK/next.pnm" 2> "$SCAN_WORK/err"; then
    "$check" "$SCAN_WORK/next.pnm" 0 150 0 0 30 20 || sane_fail "the scan after the interrupted one differs"
else
    sane_fail "the scan after the interrupted one failed: $(cat "$SCAN_WORK/err")"
fi

# A scanner that stops sending is given up after orvo.conf's timeout, not waited for
# for ever: an I/O error, and the scan aborted in the scanner.
aborts=$(info s1 aborts)
cp /etc/sane.d/orvo.conf "$SCAN_WORK/orvo.conf"
echo "timeout 2" >> /etc/sane.d/orvo.conf
sim_ctl scan s1 chunk 4096 > /dev/null
sim_ctl scan s1 hold 3 > /dev/null
if sane_run -d orvo:usb:SC0001 --mode Gray --resolution 150 -x 30 -y 20 -o "$SCAN_WORK/stall.pnm" 2> "$SCAN_WORK/err"; then
    sane_fail "a stalled scan succeeded"
else
    grep -q "Error during device I/O" "$SCAN_WORK/err" || sane_fail "a stalled scan: $(cat "$SCAN_WORK/err")"
    [ "$(info s1 aborts)" = $((aborts + 1)) ] || sane_fail "the stalled scan was not aborted in the scanner"
    sane_expect_clean || sane_fail "the stalled scan left page files"
fi
sim_ctl scan s1 release > /dev/null
sim_ctl scan s1 chunk 32768 > /dev/null
cp "$SCAN_WORK/orvo.conf" /etc/sane.d/orvo.conf

env -u LD_PRELOAD ${SANE_PRELOAD:+LD_PRELOAD=$SANE_PRELOAD} "$drive" "$SANE_BACKEND" cycles 100 usb:SC0001 ||
    sane_fail "descriptors over 100 open/scan/close cycles"
sane_expect_clean || sane_fail "the cycles left page files"

[ "$SANE_FAILS" -eq 0 ] || exit 1
echo "sane_cancel: all checks passed"
