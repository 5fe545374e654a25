#!/usr/bin/env bash
# The scheduler stopped, hung and started again while the service runs: the printers are
# still asked at their usual pace, each outage is logged once, a job list survives the
# outage and a cancel made right after it still reaches the printer.
set -uo pipefail
. "$(dirname "$0")/service-lib.sh"

sim_start "$TMPDIR/sim.sock" --usb u1:K20NW:AB1234 --net n1:K40N:127.0.0.2 || exit 1
sim_ctl set status n1 16 > /dev/null   # printing: a busy network printer is asked every second
cupsfx_add_queue USB_U 'usb://Orvo/K20NW?serial=AB1234' K20NW
cupsfx_add_queue NET_B 'socket://127.0.0.2:9100/?snmp=false' K40N
cupsfx_wait_conf NET_B
start_service
outages() { log_count "scheduler not answering"; }
# shellcheck disable=SC2317 # run through by_queries
outages_are() { [ "$(outages)" = "$1" ]; }
now_ms() { date +%s%3N; }

# pace: milliseconds until the USB printer has been asked 4 more times and the network
# printer 6 more times (about 6 s at the normal pace of 1.5 s and 1 s).
pace() {
  local u n start
  u=$(( $(requests u1) + 4 ))
  n=$(( $(requests n1) + 6 ))
  start=$(now_ms)
  { wait_until 60 requests_at_least u1 "$u" && wait_until 60 requests_at_least n1 "$n"; } || { echo 999999; return; }
  echo $(( $(now_ms) - start ))
}
# Within 20 % of the normal pace plus half a second (the 50 ms steps of the polling here and
# a loaded machine's scheduling): a worker held by a request to the lost scheduler would add
# at least its half-second reply wait to each of the six cycles.
# shellcheck disable=SC2317 # run through check
pace_kept() { [ "$2" -le $(( $1 * 6 / 5 + 500 )) ]; }

# The network printer starts off-line: its first cycles last 10 s (the very first one may
# pass before the printer list is ready), then 1 s.
# Meanwhile: a heartbeat that cannot be written says why in the log.
check "heartbeat written" wait_until 30 test -f "$CFG/service.hb"
rm -f "$CFG/service.hb"
mkdir "$CFG/service.hb"
check "a heartbeat that cannot be written is logged" wait_until 30 log_count_at_least "cannot write $CFG/service.hb" 1
rmdir "$CFG/service.hb"
check "and written again once it can" wait_until 30 test -f "$CFG/service.hb"
check "network printer answers twice" wait_until 60 requests_at_least n1 2
normal=$(pace)
echo "normal pace: $normal ms"

cupsfx_stop
down=$(pace)
check "scheduler stopped: pace kept ($down ms against $normal ms)" pace_kept "$normal" "$down"
check_eq "the outage is logged once" 1 "$(outages)"

cupsfx_start
check "the return is logged within about a cycle" by_queries u1 3 log_count_at_least "scheduler answers again" 1
check "the event subscription is made again" by_queries u1 4 log_count_at_least "subscribed to the scheduler's events" 2

# A job on the USB queue stays printing (CUPS' usb backend finds no device).
echo hello > "$TMPDIR/doc.txt"
job=$(lp -d USB_U "$TMPDIR/doc.txt" 2>&1 | grep -oE 'USB_U-[0-9]+')
# shellcheck disable=SC2317 # run through wait_until
printing() { lpstat -l -o USB_U 2>/dev/null | grep -q job-printing; }
check "job is printing in CUPS" wait_until 30 printing
# Two more queries of the printer enclose a whole cycle of job checks that saw it printing.
check "the service has seen it printing" wait_until 60 requests_at_least u1 $(( $(requests u1) + 2 ))

# The pace with a job printing, measured beside the outage (a loaded machine slows both).
normal=$(pace)
echo "normal pace with a job printing: $normal ms"
kill -STOP "$CUPSFX_PID"
check "a hung scheduler is a second outage, logged once" by_queries u1 3 outages_are 2
hung=$(pace)
check "scheduler hung: pace kept ($hung ms against $normal ms)" pace_kept "$normal" "$hung"
check_eq "still logged once" 2 "$(outages)"
kill -CONT "$CUPSFX_PID"

# The failed listings kept the job as printing: the cancel right after the outage counts.
cancel "$job"
# shellcheck disable=SC2317 # run through by_queries
cancels_are() { [ "$(sim_ctl get u1 cancels)" = "$1" ]; }
check "the cancel reaches the printer after the outage" by_queries u1 3 cancels_are 1
check "its result is logged" wait_until 30 log_count_at_least "cancel $job in the printer, ret = " 1

stop_service
sim_stop
finish
