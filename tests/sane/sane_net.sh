#!/bin/bash
# scanimage through the backend and the installed scan daemon against simulated network
# MFPs: found from orvo.conf and from the printer list, probed before they are listed,
# JPEG pages decoded, a raw lineart page, a feeder batch and an interrupted scan.
# usage: sane_net.sh SANE_PNMCHECK
set -u
check=$1
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
. "$ORVO_SOURCE_DIR/tests/scandaemon/scanfx.sh"
. "$(dirname "$0")/sanefx.sh"
scan_work sanenet

sim_start "$SCAN_WORK/ctl" --net n1:K40N:127.0.0.2 --net n2:K20NW:127.0.0.3 --net n3:K40NW:127.0.0.10 || exit 1
scan_daemon_start || exit 1

# One scanner named in orvo.conf, one the print service lists, one address with nothing; a
# queue host written with leading zeros is read as the scheduler reads it (octal parts).
printf 'net 127.0.0.2\nnet 127.0.0.9\n' >> /etc/sane.d/orvo.conf
mkdir -p "$ORVO_INSTALL_ROOT/cfg"
cat > "$ORVO_INSTALL_ROOT/cfg/printerlist.ini" << 'INI'
[Main]
Count=3

[printer_0]
Name=Lab_K20NW
Model=Orvo K20NW
ConnectType=2
Port=127.0.0.3
URI=socket://127.0.0.3:9100

[printer_1]
Name=Desk
Model=Orvo K20NW
ConnectType=1
Port=Orvo/K20NW?serial=XY1
URI=usb://Orvo/K20NW?serial=XY1

[printer_2]
Name=Lab_K40NW
Model=Orvo K40NW
ConnectType=2
Port=127.000.000.012
URI=socket://127.000.000.012:9100
INI
sane_run -L > "$SCAN_WORK/list" 2>&1
{ grep -qF "device \`orvo:net:127.0.0.2' is a Orvo K40N multi-function peripheral" "$SCAN_WORK/list" &&
    grep -qF "device \`orvo:net:127.0.0.3' is a Orvo K20NW multi-function peripheral" "$SCAN_WORK/list" &&
    grep -qF "device \`orvo:net:127.0.0.10' is a Orvo K40NW multi-function peripheral" "$SCAN_WORK/list" &&
    ! grep -q "127.0.0.9" "$SCAN_WORK/list"; } || sane_fail "listing: $(cat "$SCAN_WORK/list")"

# Color and gray come as JPEG pages: the image is the sent page decoded, near the pattern.
for mode in Color Gray; do
    if sane_run -d orvo:net:127.0.0.2 --mode "$mode" --resolution 150 -l 5 -t 5 -x 60 -y 45 -o "$SCAN_WORK/$mode.pnm" \
        2> "$SCAN_WORK/err"; then
        sim_ctl netscan n1 sent 0 "$SCAN_WORK/$mode.jpg" > /dev/null
        "$check" "$SCAN_WORK/$mode.pnm" 0 150 5 5 60 45 --jpeg "$SCAN_WORK/$mode.jpg" || sane_fail "network $mode image"
    else
        sane_fail "network $mode scan: $(cat "$SCAN_WORK/err")"
    fi
done
# Lineart comes raw and equals the pattern.
if sane_run -d orvo:net:127.0.0.3 --mode Lineart --resolution 300 -x 40 -y 12 -o "$SCAN_WORK/l.pnm" 2> "$SCAN_WORK/err"; then
    "$check" "$SCAN_WORK/l.pnm" 0 300 0 0 40 12 || sane_fail "network lineart image"
else
    sane_fail "network lineart scan: $(cat "$SCAN_WORK/err")"
fi
sane_expect_clean || sane_fail "network scans left page files"

# A feeder batch of three JPEG pages.
sim_ctl netscan n1 pages 3 > /dev/null
if sane_run -d orvo:net:127.0.0.2 --source ADF --mode Color --resolution 75 -x 50 -y 50 \
    --batch="$SCAN_WORK/np%d.pnm" --batch-start=0 > "$SCAN_WORK/batch" 2>&1; then
    for p in 0 1 2; do
        sim_ctl netscan n1 sent "$p" "$SCAN_WORK/np$p.jpg" > /dev/null
        "$check" "$SCAN_WORK/np$p.pnm" "$p" 75 0 0 50 50 --jpeg "$SCAN_WORK/np$p.jpg" || sane_fail "network feeder page $p"
    done
    [ ! -e "$SCAN_WORK/np3.pnm" ] || sane_fail "a fourth page from a three-page feeder"
else
    sane_fail "network feeder batch: $(cat "$SCAN_WORK/batch")"
fi
sane_expect_clean || sane_fail "the network batch left page files"

# Interrupted while the scanner holds the stream: the abort goes out, nothing is left.
held() { [ "$(sim_ctl netscan n1 count held)" = 1 ]; }
sim_ctl netscan n1 block 4096 > /dev/null
sim_ctl netscan n1 hold 4 > /dev/null
sane_run -d orvo:net:127.0.0.2 --mode Color --resolution 300 -x 100 -y 100 -o "$SCAN_WORK/cut.pnm" 2> "$SCAN_WORK/err" &
sub=$!
pid=$(sane_scanimage_pid "$sub")
if wait_for "the network stream to pause" held; then
    kill -INT "$pid"
    wait "$sub" && sane_fail "an interrupted network scanimage exited 0"
    [ "$(sim_ctl netscan n1 count aborts)" = 1 ] || sane_fail "the network scanner got no abort"
    sane_expect_clean || sane_fail "the interrupted network scan left page files"
else
    kill "$pid"
    wait "$sub"
    sane_fail "the network stream never paused"
fi
sim_ctl netscan n1 hold off > /dev/null
sim_ctl netscan n1 release > /dev/null
if sane_run -d orvo:net:127.0.0.2 --mode Gray --resolution 75 -x 30 -y 30 -o "$SCAN_WORK/next.pnm" 2> "$SCAN_WORK/err"; then
    sim_ctl netscan n1 sent 0 "$SCAN_WORK/next.jpg" > /dev/null
    "$check" "$SCAN_WORK/next.pnm" 0 75 0 0 30 30 --jpeg "$SCAN_WORK/next.jpg" || sane_fail "the scan after the interrupted one"
else
    sane_fail "the network scan after the interrupted one failed: $(cat "$SCAN_WORK/err")"
fi

[ "$SANE_FAILS" -eq 0 ] || exit 1
echo "sane_net: all checks passed"
