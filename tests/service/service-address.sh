#!/usr/bin/env bash
# A network queue whose host is written with leading zeros: CUPS's socket backend reads the
# parts as octal (127.000.000.010 is 127.0.0.8), and so do the service's status queries and
# the maintenance tool's datagrams, so all three reach the same printer.
set -uo pipefail
. "$(dirname "$0")/service-lib.sh"

sim_start "$TMPDIR/sim.sock" --net n1:K40N:127.0.0.8 || exit 1
sim_ctl set status n1 2 > /dev/null
cupsfx_add_queue NET_Z 'socket://127.000.000.010:9100' K40N
cupsfx_wait_conf NET_Z

start_service
check "status of the printer at 127.0.0.8 stored" wait_until 30 dat_is NET_Z "$(net_expected n1)"
check "the address the host was read as is logged" log_count_at_least "host 127.000.000.010 is 127.0.0.8" 1
check_eq "the printer list keeps the host as the queue writes it" 127.000.000.010 "$(ini_value printer_0 Port)"

sim_ctl get n1 netrx clear > /dev/null
sim_ctl queue n1 netreply A5000550E02E0200 > /dev/null
check "maintenance sends the cleaning command" "$ROOT/bin/orvoK500Maint" clean NET_Z
check_eq "the cleaning command reached the printer at 127.0.0.8" A5000750E02E02010101 "$(sim_ctl get n1 netrx clear)"

stop_service
sim_stop
finish
