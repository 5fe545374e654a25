#!/usr/bin/env bash
# A service that is alive but no longer beats is restarted once its heartbeat is 10 s old.
# shellcheck source=../harness/cupsfx.sh
. "$ORVO_HARNESS/cupsfx.sh"
. "$(dirname "$0")/wdfx.sh"

wd_start
check "watchdog starts the service" wait_until 30 one_service
stopped=$(service_pids)
check "heartbeat written" wait_until 30 test -f "$(heartbeat)"

kill -STOP "$stopped"
beat=$(mtime_ms "$(heartbeat)")

check "heartbeat timeout logged" wait_until 40 wd_has "heartbeat timeout!"
timeout_line=$(wd_log | grep -F "heartbeat timeout!" | head -1)
age=$(( $(line_ms "$timeout_line") - beat ))
echo "# heartbeat age at the timeout: $age ms"
# The first timeout comes no earlier: at 9 s the heartbeat still counted as fresh.
check "timeout not before 10 s" test "$age" -ge 10000
check_match "tag of the timeout line" '\(\.\./OrvoPrintWatchdog/main@126 CheckServiceHeartbeat\) heartbeat timeout!$' "$timeout_line"
check "the stopped service was killed" wait_until 30 gone "$stopped"
check "a new service runs" wait_until 30 one_service
check "the new copy beats, a cycle later again" eval 'next_beat && next_beat'
check_eq "exactly one copy" 1 "$(service_count)"
check_eq "one start, one timeout, each followed by its restart, nothing else" \
  "Start watchdog, enable log|service not found!|run service, index = 1|heartbeat timeout!|run service, index = N" \
  "$(wd_messages | sed -E '5s/index = [0-9]+$/index = N/' | paste -sd '|')"
check "no nohup.out anywhere" no_nohup_out
finish
