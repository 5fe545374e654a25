#!/usr/bin/env bash
# The job monitor: a job cancelled in CUPS while a USB printer prints it is cancelled in
# that printer, once; a job cancelled before it printed is not. Queue names full of shell
# syntax reach lpstat untouched. With "zh" the service runs with Chinese CUPS messages; with
# "nosub" the scheduler refuses event subscriptions and the service lists the jobs every time.
set -uo pipefail
. "$(dirname "$0")/service-lib.sh"

[ "${1:-}" != zh ] || export LANG=zh_CN.UTF-8
if [ "${1:-}" = nosub ]; then
  cupsfx_stop
  sed -i 's|^<Policy default>$|&\n  <Limit Create-Printer-Subscriptions>\n    AuthType Default\n    Require user @nosuchgroup\n  </Limit>|' /etc/cups/cupsd.conf
  cupsfx_start || exit 1
fi

# The usb backend of the private cupsd sees no device, so a job on a USB queue stays
# printing ("waiting for printer to become available") until it is cancelled.
# shellcheck disable=SC2016 # a queue name that would run commands if a shell ever saw it
Q='q;touch${IFS}pwned`touch${IFS}pwned2`$(touch${IFS}pwned3)'
sim_start "$TMPDIR/sim.sock" --usb p1:K20NW:AB1234 --usb p2:K20NW:CD5678 || exit 1
cupsfx_add_queue "$Q" 'usb://Orvo/K20NW?serial=AB12' K20NW
cupsfx_add_queue OTHER 'usb://Orvo/K20NW?serial=CD5678' K20NW
cupsfx_wait_conf OTHER
cd "$TMPDIR" || exit 1
start_service
check "service publishes the queue with shell syntax in its name" wait_until 30 listed "$Q"
if [ "${1:-}" = nosub ]; then
  check "the refused subscription is logged" wait_until 30 log_count_at_least "no event subscription" 1
else
  check "the service follows the scheduler's events" wait_until 30 log_count_at_least "subscribed to the scheduler's events" 1
fi

# One job prints on the first printer; another, held, never prints on the second. Both are
# cancelled; only the first printer is told.
echo hello > "$TMPDIR/doc.txt"
job=$(lp -d "$Q" "$TMPDIR/doc.txt" 2>&1 | grep -oE -- '-[0-9]+' | head -1)
job_id="$Q$job"
held=$(lp -d OTHER -H hold "$TMPDIR/doc.txt" 2>&1 | grep -oE -- 'OTHER-[0-9]+')
# shellcheck disable=SC2317 # run through wait_until
printing() { lpstat -l -o "$Q" 2>/dev/null | grep -q job-printing; }
# shellcheck disable=SC2317 # run through wait_until
is_held() { lpstat -l -o OTHER 2>/dev/null | grep -q job-hold-until-specified; }
check "job is printing in CUPS" wait_until 10 printing
check "the other job is held in CUPS" wait_until 10 is_held
# A worker's cycle is one status query, then its job checks: two more queries of the
# printer enclose a whole cycle of job checks that saw the jobs in their present state.
# shellcheck disable=SC2317 # run through check
whole_cycles() {
  local p1_until p2_until
  p1_until=$(( $(requests p1) + 2 ))
  p2_until=$(( $(requests p2) + 2 ))
  wait_until 30 requests_at_least p1 "$p1_until" && wait_until 30 requests_at_least p2 "$p2_until"
}
check "a whole cycle of job checks saw one printing, the other held" whole_cycles
cancel "$job_id" "$held"
# shellcheck disable=SC2317 # run through wait_until
cancels() { [ "$(sim_ctl get p1 cancels)" = "$1" ]; }
check "one cancel request to the printer whose serial matches, within about a cycle" by_queries p1 3 cancels 1
check "a whole cycle of job checks after it" whole_cycles
check_eq "and only one" 1 "$(sim_ctl get p1 cancels)"
check_eq "none to the other printer of the same model, whose job never printed" 0 "$(sim_ctl get p2 cancels)"

check "no shell ran the queue name" test ! -e pwned -a ! -e pwned2 -a ! -e pwned3 -a ! -e "$ROOT/pwned"
check "the name still works: its status file exists" test -e "$CFG/$Q.dat"

stop_service
sim_stop
finish
