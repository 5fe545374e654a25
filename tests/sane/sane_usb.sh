#!/bin/bash
# scanimage through the backend and the installed scan daemon against emulated USB MFPs:
# listing, the three modes against the test pattern, a feeder batch, the feeder's and the
# scanner's refusals, two scans on two devices at the same time.
# usage: sane_usb.sh SANE_PNMCHECK
set -u
check=$1
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
. "$ORVO_SOURCE_DIR/tests/scandaemon/scanfx.sh"
. "$(dirname "$0")/sanefx.sh"
scan_work saneusb
[ -n "$SANE_BACKEND" ] || { echo "the backend is not installed in the sandbox" >&2; exit 1; }

# Without the daemon nothing is listed, and stderr says why.
sane_run -L > "$SCAN_WORK/out" 2> "$SCAN_WORK/err"
rc=$?
[ "$rc" -eq 0 ] || sane_fail "scanimage -L without the daemon exited $rc"
grep -q "No scanners were identified" "$SCAN_WORK/out" "$SCAN_WORK/err" || sane_fail "a device was listed without the daemon"
grep -q "cannot reach the Orvo scan daemon at 127.0.0.1:7003" "$SCAN_WORK/err" || sane_fail "no reason on stderr: $(cat "$SCAN_WORK/err")"

scan_sim_start "$SCAN_WORK/ctl" --usb s1:K20NW:SC0001 --usb s2:K40NW:SC0002 || exit 1
scan_daemon_start || exit 1

sane_run -L > "$SCAN_WORK/list" 2>&1
{ grep -qF "device \`orvo:usb:SC0001' is a Orvo K20NW multi-function peripheral" "$SCAN_WORK/list" &&
    grep -qF "device \`orvo:usb:SC0002' is a Orvo K40NW multi-function peripheral" "$SCAN_WORK/list"; } ||
    sane_fail "listing: $(cat "$SCAN_WORK/list")"

# Each mode, each at its own area and resolution, equals the pattern byte for byte.
while read -r mode res l t x y depthcode; do
    out=$SCAN_WORK/$mode.pnm
    if ! sane_run -d orvo:usb:SC0001 --mode "$mode" --resolution "$res" -l "$l" -t "$t" -x "$x" -y "$y" \
        --format=pnm -o "$out" 2> "$SCAN_WORK/err"; then
        sane_fail "$mode scan: $(cat "$SCAN_WORK/err")"
        continue
    fi
    "$check" "$out" 0 "$res" "$l" "$t" "$x" "$y" || sane_fail "$mode image differs from the pattern"
    # The lock carried the depth code and the area in pixels at the resolution.
    lock=$(sim_ctl scan s1 lockreq | tr -d ' \n' | tr 'A-F' 'a-f')
    w=$(((l + x) * res * 10 / 254 - l * res * 10 / 254))
    le32() { printf '%02x%02x%02x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }
    { [ "${lock:16:2}" = "$depthcode" ] && [ "${lock:24:8}" = "$(le32 "$w")" ]; } ||
        sane_fail "$mode lock request $lock (depth $depthcode, width $w)"
    sim_ctl scan s1 info | grep -qx "locked 0" || sane_fail "$mode scan left the scanner locked"
    sane_expect_clean || sane_fail "$mode scan left page files"
done << 'MODES'
Color 150 10 20 60 40 03
Gray 300 0 0 30 25 02
Lineart 600 5 7 21 9 01
MODES

# A feeder batch: one file per page, each page its own pattern.
sim_ctl scan s1 pages 3 > /dev/null
if sane_run -d orvo:usb:SC0001 --source ADF --mode Gray --resolution 75 -x 40 -y 30 \
    --batch="$SCAN_WORK/page%d.pnm" --batch-start=0 > "$SCAN_WORK/batch" 2>&1; then
    for p in 0 1 2; do
        "$check" "$SCAN_WORK/page$p.pnm" "$p" 75 0 0 40 30 || sane_fail "feeder page $p differs"
    done
    [ ! -e "$SCAN_WORK/page3.pnm" ] || sane_fail "a fourth page from a three-page feeder"
    grep -q "Document feeder out of documents" "$SCAN_WORK/batch" || sane_fail "batch did not end on the empty feeder"
else
    sane_fail "feeder batch: $(cat "$SCAN_WORK/batch")"
fi
sane_expect_clean || sane_fail "feeder batch left page files"

# Refusals reach the front end as their own status, without a hang.
refusal() {
    local setup=$1 undo=$2 text=$3 source=$4 words
    read -ra words <<< "$setup"
    sim_ctl "${words[@]}" > /dev/null
    if sane_run -d orvo:usb:SC0001 --source "$source" --resolution 75 -x 10 -y 10 -o "$SCAN_WORK/r.pnm" 2> "$SCAN_WORK/err"; then
        sane_fail "scan succeeded despite: $setup"
    elif ! grep -q "$text" "$SCAN_WORK/err"; then
        sane_fail "$setup: expected \"$text\", got: $(cat "$SCAN_WORK/err")"
    fi
    read -ra words <<< "$undo"
    sim_ctl "${words[@]}" > /dev/null
}
refusal "scan s1 adf 1" "scan s1 adf 2" "Document feeder out of documents" ADF
refusal "scan s1 adf 3" "scan s1 adf 2" "Document feeder jammed" ADF
refusal "scan s1 flag 5 0x88" "scan s1 flag 5 0x80" "Device busy" Flatbed
refusal "scan s1 flag 1 0x85" "scan s1 flag 1 0x80" "Error during device I/O" Flatbed
sim_ctl scan s1 info | grep -qx "locked 0" || sane_fail "a refusal left the scanner locked"
sane_expect_clean || sane_fail "refusals left page files"

# Two devices at once, each a larger page so that the two scans overlap.
sane_run -d orvo:usb:SC0001 --mode Color --resolution 300 -x 80 -y 80 -o "$SCAN_WORK/a.pnm" 2> "$SCAN_WORK/erra" &
pa=$!
sane_run -d orvo:usb:SC0002 --mode Gray --resolution 300 -x 90 -y 70 -o "$SCAN_WORK/b.pnm" 2> "$SCAN_WORK/errb" &
pb=$!
wait "$pa" || sane_fail "scan on SC0001 next to SC0002: $(cat "$SCAN_WORK/erra")"
wait "$pb" || sane_fail "scan on SC0002 next to SC0001: $(cat "$SCAN_WORK/errb")"
"$check" "$SCAN_WORK/a.pnm" 0 300 0 0 80 80 || sane_fail "SC0001's image differs"
"$check" "$SCAN_WORK/b.pnm" 0 300 0 0 90 70 || sane_fail "SC0002's image differs"
sane_expect_clean || sane_fail "the two scans left page files"

[ "$SANE_FAILS" -eq 0 ] || exit 1
echo "sane_usb: all checks passed"
