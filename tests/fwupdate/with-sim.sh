#!/usr/bin/env bash
# with-sim.sh CMD...: runs CMD beside the device simulator playing one USB printer "p1" of the
# model the updater supports (Orvo K40N, serial FW0001). CMD runs under the USB preload and
# gets the control socket in ORVO_SIM_SOCK and the simulator binary in ORVO_MFPSIM.
set -uo pipefail
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
sock=$TMPDIR/sim.sock
sim_start "$sock" --usb p1:K40N:FW0001 || exit 1
ORVO_SIM_SOCK=$sock ORVO_MFPSIM=$(_sim_bin) "$@"
rc=$?
sim_stop
exit "$rc"
