#!/usr/bin/env bash
# with-service.sh [--net] CMD...: runs CMD next to the installed print service and the device
# simulator, inside the sandbox with its private cupsd. The simulator plays a USB printer
# p1 behind queue "Orvo-USB" (with --net also network printers n1..n3 behind "Orvo-Net1..3");
# CMD gets the control socket in ORVO_SIM_SOCK and the simulator binary in ORVO_MFPSIM.
set -uo pipefail
# shellcheck source=../harness/cupsfx.sh
. "$ORVO_HARNESS/cupsfx.sh"
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"

net=0
if [ "${1:-}" = --net ]; then
  net=1
  shift
fi
sock=$TMPDIR/sim.sock
devices=(--usb p1:K20NW:AB1234)
[ "$net" -eq 0 ] || devices+=(--net n1:K40N:127.0.0.11 --net n2:K40NW:127.0.0.12 --net n3:K20N:127.0.0.13)
sim_start "$sock" "${devices[@]}" || exit 1
cupsfx_add_queue Orvo-USB 'usb://Orvo/K20NW?serial=AB1234' K20NW || exit 1
if [ "$net" -eq 1 ]; then
  for i in 1 2 3; do
    cupsfx_add_queue "Orvo-Net$i" "socket://127.0.0.1$i:9100/?snmp=false" K40N || exit 1
  done
  cupsfx_wait_conf Orvo-Net3 || exit 1
fi
cupsfx_wait_conf Orvo-USB || exit 1

"$ORVO_INSTALL_ROOT/bin/orvoK500Service" > "$TMPDIR/service.out" 2>&1 &
service=$!

ORVO_SIM_SOCK=$sock ORVO_MFPSIM=$(_sim_bin) env -u LD_PRELOAD -u UMOCKDEV_DIR "$@"
rc=$?
kill "$service" 2> /dev/null
wait "$service" 2> /dev/null
sim_stop
exit "$rc"
