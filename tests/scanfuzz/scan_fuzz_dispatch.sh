#!/bin/bash
# Runs a program that drives the daemon's dispatcher (the fuzz target's bounded pass, or the
# libFuzzer target itself) against the simulator: two emulated USB scanners and a
# network MFP on 127.0.0.2, in the sandbox.
# usage: scan_fuzz_dispatch.sh PROGRAM [ARGS...]
set -u
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
. "$ORVO_SOURCE_DIR/tests/scandaemon/scanfx.sh"
scan_work scanfuzz

scan_sim_start "$SCAN_WORK/ctl" --usb s1:K20NW:AB1234 --usb s2:K40N:EF9012 --net n1:K40N:127.0.0.2 || exit 1
"$@" || exit 1
# The seeds reached the emulated scanner and the network MFP: scans started on both.
logs=("$ORVO_INSTALL_ROOT"/scan/orvo_scan_info.log*)
for kind in usb tcp; do
    if ! grep -qh "$kind scanstart main process exit:0 " "${logs[@]}"; then
        echo "FAIL: no $kind scan started" >&2
        exit 1
    fi
done
