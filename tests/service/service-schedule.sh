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
# Worker threads only: a thread libusb starts bears its creator's name until it names itself,
# so a count is taken as the least of a few looks.
threads() {
  local n least=
  for _ in 1 2 3 4 5; do
    n=$(grep -lx QThread /proc/"$SERVICE_PID"/task/*/comm 2> /dev/null | wc -l)
    [ -n "$least" ] && [ "$least" -le "$n" ] || least=$n
  done
  echo "$least"
}
srclog() { log_count "(../OrvoPrintService/TrdGetPrinterStatus@$1 $2) $3"; }
# shellcheck disable=SC2317 # run through wait_until
logged() { [ "$(srclog "$@")" -ge 1 ]; }
# shellcheck disable=SC2317 # run through wait_until
threads_are() { [ "$(threads)" = "$1" ]; }
# queries_while DEV N OTHER: how often OTHER was asked while DEV was asked N more times.
queries_while() {
  local o0
  o0=$(requests "$3")
  wait_until 120 requests_at_least "$1" $(( $(requests "$1") + $2 )) || { echo -1; return; }
  echo $(( $(requests "$3") - o0 ))
}

check "network printer answers its first query" wait_until 30 requests_at_least n1 1
check "one worker thread per printer" wait_until 30 threads_are 2
# The first reply came while the printer was off-line, whose cycle lasts 10 s; after it the
# printer is ready and CUPS sends it nothing. The USB printer, asked every 1.5 s, is the clock.
check_eq "a ready network printer CUPS sends nothing is not asked again while the USB printer is asked 9 times" \
  0 "$(queries_while u1 9 n1)"
check "driver found bound and detached, logged" test "$(srclog 202 GetPrinterStatusUSB 'Kernel Driver Active')" -ge 1 \
  -a "$(srclog 204 GetPrinterStatusUSB 'Kernel Driver Detached!')" -ge 1

# Nothing listens on the queue's socket port: CUPS keeps trying to send the job. The network
# printer is asked every second, the USB printer every 1.5 s: 9 against 6.
echo hello > "$TMPDIR/doc.txt"
lp -d NET_R "$TMPDIR/doc.txt" > /dev/null
check "while CUPS sends it a job the network printer is asked" by_queries u1 4 requests_at_least n1 $(( $(requests n1) + 1 ))
u=$(queries_while n1 9 u1)
check "while the network printer was asked 9 times the USB printer was asked 4 to 8 times ($u)" test "$u" -ge 4 -a "$u" -le 8
cancel -a NET_R

sim_ctl unplug u1 > /dev/null
check "unplugged: not found" wait_until 30 logged 196 GetPrinterStatusUSB 'Cannot open device'
check "failure logged with its code" logged 731 SlotTaskStart 'connect USB_U fail, ret = -5'

# 2 -> 3 printers: one more worker; 3 -> 1 -> 3: the idle ones serve again, none is added.
# The printer list file is written after the workers of a grown list started.
cupsfx_add_queue USB_V 'usb://Orvo/K20NW?serial=ZZ' K20NW
check "the service sees three printers" wait_until 30 value_is Main Count 3
# The worker thread exists by now; it names itself once it runs.
check "a third printer gets a third worker" wait_until 30 threads_are 3
cupsfx_del_queue USB_U
cupsfx_del_queue USB_V
check "list shrinks to one" wait_until 30 value_is Main Count 1
check_eq "workers stay" 3 "$(threads)"
cupsfx_add_queue USB_U 'usb://Orvo/K20NW?serial=AB1234' K20NW
cupsfx_add_queue USB_V 'usb://Orvo/K20NW?serial=ZZ' K20NW
check "list grows back to three" wait_until 30 value_is Main Count 3
check_eq "and no worker is added" 3 "$(threads)"

stop_service
sim_stop
finish
