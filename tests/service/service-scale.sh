#!/usr/bin/env bash
# Many printers, more than the scheduler's client limit (Debian's 100): 149 network printers
# and one USB printer on one private cupsd. Every printer is asked every cycle and its status
# file follows its replies, a job cancelled in CUPS still reaches its printer, and the
# service holds at most two connections to the scheduler, which never holds connections back.
set -uo pipefail
. "$(dirname "$0")/service-lib.sh"

NET=149
addr() { echo "127.1.$(( $1 / 200 )).$(( 1 + $1 % 200 ))"; }
sim_args=(--usb p1:K20NW:AB1234)
for (( i = 1; i <= NET; i++ )); do sim_args+=(--net "n$i:K40N:$(addr "$i")"); done
sim_start "$TMPDIR/sim.sock" "${sim_args[@]}" || exit 1
# to_all FORMAT: one simulator command per network printer, FORMAT's %d its number.
to_all() {
  local i
  # shellcheck disable=SC2059 # the format is the caller's
  for (( i = 1; i <= NET; i++ )); do printf "$1\n" "$i"; done | sim_batch
}
# Printing: asked every second.
to_all "set status n%d 16" > /dev/null || exit 1
cupsfx_add_queue USB1 'usb://Orvo/K20NW?serial=AB1234' K20NW
for (( i = 1; i <= NET; i++ )); do
  cupsfx_add_queue "NET$i" "socket://$(addr "$i"):9100/?snmp=false" K40N || exit 1
done
cupsfx_wait_conf "NET$NET"
cd "$TMPDIR" || exit 1

most_links=0
# shellcheck disable=SC2317 # run through wait_until and check
note_links() {
  local n
  n=$(cupsfx_client_links "$SERVICE_PID")
  [ "$n" -le "$most_links" ] || most_links=$n
}
# shellcheck disable=SC2317 # run through wait_until
all_files() {
  note_links
  [ "$(find "$CFG" -maxdepth 1 -name '*.dat' | wc -l)" -eq $(( NET + 1 )) ]
}
start_service
check "every printer gets its status file" wait_until 60 all_files

# Every worker keeps its cycle: each network printer is asked three more times while the
# first is asked at most twelve more times (about once a second each; a loaded machine
# slows them all alike), and each reply change reaches its file.
mapfile -t asked < <(to_all "get n%d requests")
to_all "set ink n%d 7 60 40 20" > /dev/null
# shellcheck disable=SC2317 # run through wait_until
all_asked_thrice() {
  local i now
  mapfile -t now < <(to_all "get n%d requests")
  slow=
  for (( i = 0; i < NET; i++ )); do
    [ "${now[i]:-0}" -ge $(( asked[i] + 3 )) ] || slow+=" n$(( i + 1 ))"
  done
  [ -z "$slow" ] || [ "${now[0]:-0}" -ge $(( asked[0] + 12 )) ]
}
wait_until 120 all_asked_thrice
check_eq "every network printer asked three times while the first is asked twelve times" "" "$slow"
# shellcheck disable=SC2317 # run through wait_until
files_follow() {
  local i body
  note_links
  mapfile -t body < <(to_all "get n%d status")
  for (( i = 0; i < NET; i++ )); do
    dat_is "NET$(( i + 1 ))" "$(net_frame "${body[i]}")" || return 1
  done
}
check "every status file holds its printer's new reply" wait_until 30 files_follow

# A job printing on the USB printer, cancelled in CUPS: the printer is told.
echo hello > "$TMPDIR/doc.txt"
job=$(lp -d USB1 "$TMPDIR/doc.txt" 2>&1 | grep -oE 'USB1-[0-9]+')
# shellcheck disable=SC2317 # run through wait_until
printing() { note_links; lpstat -l -o USB1 2>/dev/null | grep -q job-printing; }
check "the job prints in CUPS" wait_until 20 printing
check "the USB printer is asked twice more (its job checks saw the job printing)" \
  wait_until 30 requests_at_least p1 $(( $(requests p1) + 2 ))
cancel "$job"
# shellcheck disable=SC2317 # run through by_queries
cancels() { note_links; [ "$(sim_ctl get p1 cancels)" = 1 ]; }
check "the cancel reaches the printer within about a cycle" by_queries p1 3 cancels

note_links
check "the service held at most 2 connections to the scheduler (most seen: $most_links)" test "$most_links" -le 2
check "the service held a connection to the scheduler" test "$most_links" -ge 1
check_eq "the scheduler never held connections back" 0 "$(grep -c 'Max clients reached' /var/log/cups/error_log)"
check_eq "the service saw no scheduler outage" 0 "$(log_count 'scheduler not answering')"

stop_service
sim_stop
finish
