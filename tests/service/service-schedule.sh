#!/usr/bin/env bash
# How often the status workers ask their printers, what they log about USB, and how many
# worker threads the service keeps while queues come and go.
set -uo pipefail
. "$(dirname "$0")/service-lib.sh"

sim_start "$TMPDIR/sim.sock" --usb u1:K20NW:AB1234 --net n1:K40N:127.0.0.2 || exit 1
cupsfx_add_queue USB_U 'usb://Orvo/K20NW?serial=AB1234' K20NW
cupsfx_add_queue NET_R 'socket://127.0.0.2:9100/?snmp=false' K40N
cupsfx_wait_conf NET_R
start_service
requests() { sim_ctl get "$1" requests; }
requests_at_least() { [ "$(requests "$1")" -ge "$2" ]; }
threads() { grep -lx QThread /proc/"$SERVICE_PID"/task/*/comm 2> /dev/null | wc -l; }
srclog() { log_count "(../OrvoPrintService/TrdGetPrinterStatus@$1 $2) $3"; }
logged() { [ "$(srclog "$@")" -ge 1 ]; }
threads_are() { [ "$(threads)" = "$1" ]; }

check "network printer answers its first query" wait_until 12 requests_at_least n1 1
first=$(date +%s)
check_eq "one worker thread per printer" 2 "$(threads)"
u0=$(requests u1)
sleep 6
u1=$(( $(requests u1) - u0 ))
check "USB printer asked about every 1.5 s ($u1 times in 6 s)" test "$u1" -ge 3 -a "$u1" -le 5
# The first reply came while the printer was off-line, whose cycle lasts 10 s; after it
# the printer is ready.
sleep $(( first + 13 - $(date +%s) ))
check_eq "a ready network printer CUPS sends nothing is not asked again" 1 "$(requests n1)"
check "driver found bound and detached, logged" test "$(srclog 202 GetPrinterStatusUSB 'Kernel Driver Active')" -ge 1 \
  -a "$(srclog 204 GetPrinterStatusUSB 'Kernel Driver Detached!')" -ge 1

# Nothing listens on the queue's socket port: CUPS keeps trying to send the job.
echo hello > "$TMPDIR/doc.txt"
lp -d NET_R "$TMPDIR/doc.txt" > /dev/null
n0=$(requests n1)
sleep 5
n1=$(( $(requests n1) - n0 ))
check "while CUPS sends it a job it is asked about every second ($n1 times in 5 s)" test "$n1" -ge 3 -a "$n1" -le 6
cancel -a NET_R

sim_ctl unplug u1 > /dev/null
check "unplugged: not found" wait_until 4 logged 196 GetPrinterStatusUSB 'Cannot open device'
check "failure logged with its code" logged 731 SlotTaskStart 'connect USB_U fail, ret = -5'

# 2 -> 3 printers: one more worker; 3 -> 1 -> 3: the idle ones serve again, none is added.
cupsfx_add_queue USB_V 'usb://Orvo/K20NW?serial=ZZ' K20NW
check "a third printer gets a third worker" wait_until 7 threads_are 3
cupsfx_del_queue USB_U
cupsfx_del_queue USB_V
check "list shrinks to one" wait_until 7 value_is Main Count 1
check_eq "workers stay" 3 "$(threads)"
cupsfx_add_queue USB_U 'usb://Orvo/K20NW?serial=AB1234' K20NW
cupsfx_add_queue USB_V 'usb://Orvo/K20NW?serial=ZZ' K20NW
check "list grows back to three" wait_until 7 value_is Main Count 3
check_eq "and no worker is added" 3 "$(threads)"

stop_service
sim_stop
finish
