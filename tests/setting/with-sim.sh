#!/usr/bin/env bash
# with-sim.sh SIMULATOR-ARGS... -- CMD...: runs CMD (under the umockdev preload, so it sees
# the simulated USB printers) beside the device simulator started with SIMULATOR-ARGS.
# CMD gets the control socket in ORVO_SIM_SOCK and the simulator binary in ORVO_MFPSIM.
set -uo pipefail
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"

args=()
while [ "$#" -gt 0 ] && [ "$1" != -- ]; do
  args+=("$1")
  shift
done
[ "${1:-}" = -- ] || { echo "usage: with-sim.sh SIMULATOR-ARGS... -- CMD..." >&2; exit 2; }
shift

sock=$TMPDIR/sim.sock
sim_start "$sock" "${args[@]}" || exit 1
ORVO_SIM_SOCK=$sock ORVO_MFPSIM=$(_sim_bin) "$@"
rc=$?
sim_stop
exit "$rc"
