#!/usr/bin/env bash
# A service that is alive but no longer beats is restarted once its heartbeat is 10 s old.
. "$ORVO_HARNESS/cupsfx.sh"
. "$(dirname "$0")/wdfx.sh"

wd_start
check "watchdog starts the service" wait_until 5 one_service
stopped=$(service_pids)
check "heartbeat written" wait_until 5 test -f "$(heartbeat)"

# Stop it right after a heartbeat, so that the file's age is known.
before=$(mtime_ms "$(heartbeat)")
renewed() { [ "$(mtime_ms "$(heartbeat)")" != "$before" ]; }
check "heartbeat renewed" wait_until 8 renewed
kill -STOP "$stopped"
beat=$(mtime_ms "$(heartbeat)")

at9=$(( beat + 9500 - $(now_ms) ))
[ "$at9" -le 0 ] || sleep "$(printf '%d.%03d' $(( at9 / 1000 )) $(( at9 % 1000 )))"
check "not restarted while the heartbeat is 9 s old" alive "$stopped"
check_fails "no heartbeat timeout at 9 s" wd_has "heartbeat timeout!"

check "heartbeat timeout logged" wait_until 6 wd_has "heartbeat timeout!"
timeout_line=$(wd_log | grep -F "heartbeat timeout!" | head -1)
age=$(( $(line_ms "$timeout_line") - beat ))
echo "# heartbeat age at the timeout: $age ms"
check "timeout not before 10 s" test "$age" -ge 10000
check "timeout within the next cycles" test "$age" -le 12500
check_match "tag of the timeout line" '\(\.\./OrvoPrintWatchdog/main@126 CheckServiceHeartbeat\) heartbeat timeout!$' "$timeout_line"
check_match "timeout followed by the restart" '^heartbeat timeout!
run service, index = [0-9]+$' "$(wd_messages | grep -A1 -F 'heartbeat timeout!' | head -2)"
check "the stopped service was killed" wait_until 3 gone "$stopped"
check "a new service runs" wait_until 4 one_service
sleep 1.2
check_eq "exactly one copy" 1 "$(service_count)"
check_eq "one timeout only" 1 "$(wd_log | grep -cF 'heartbeat timeout!')"
check "no nohup.out anywhere" no_nohup_out
finish
