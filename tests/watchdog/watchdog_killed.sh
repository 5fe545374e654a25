#!/usr/bin/env bash
# A killed service is started again within about two seconds, as one copy, detached.
# shellcheck source=../harness/cupsfx.sh
. "$ORVO_HARNESS/cupsfx.sh"
. "$(dirname "$0")/wdfx.sh"

wd_start
check "watchdog starts the missing service" wait_until 30 one_service
first=$(service_pids)
check "heartbeat written by the started service" wait_until 30 test -f "$(heartbeat)"
check_eq "first cycles logged" "Start watchdog, enable log
service not found!
run service, index = 1" "$(wd_messages)"
check_match "line format of the start line" \
  '^\[[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}\] \(\.\./OrvoPrintWatchdog/main@20 main\) Start watchdog, enable log$' \
  "$(wd_log | sed -n 1p)"
check_match "tag of the missing-process line" '\(\.\./OrvoPrintWatchdog/main@104 CheckIsRunning\) service not found!$' "$(wd_log | sed -n 2p)"
check_match "tag of the restart line" '\(\.\./OrvoPrintWatchdog/main@35 StartTask\) run service, index = 1$' "$(wd_log | sed -n 3p)"

check_eq "service in a session of its own" "$first" "$(ps -o sid= -p "$first" | xargs)"
check_eq "service's standard streams on /dev/null" "/dev/null /dev/null /dev/null" \
  "$(readlink "/proc/$first/fd/0" "/proc/$first/fd/1" "/proc/$first/fd/2" | xargs)"

lines=$(wd_log | wc -l)
kill -KILL "$first"
t0=$(now_ms)
# shellcheck disable=SC2317 # run through wait_until
restarted() { local p; p=$(service_pids); [ -n "$p" ] && [ "$p" != "$first" ]; }
check "service running again after SIGKILL" wait_until 30 restarted
echo "# restarted after $(( $(now_ms) - t0 )) ms"
check "the new copy beats, a cycle later again" eval 'next_beat && next_beat'
check_eq "exactly one copy" 1 "$(service_count)"
check_eq "after the kill: not found, then one restart, no heartbeat check" \
  "service not found!|run service, index = N" "$(wd_messages | tail -n +$(( lines + 1 )) | any_index)"

check "no nohup.out anywhere" no_nohup_out

second=$(service_pids)
kill -KILL "$WD_PID"
wait "$WD_PID" 2> /dev/null
check "service outlives the watchdog and still beats" next_beat
check "service outlives the watchdog" alive "$second"
finish
