#!/usr/bin/env bash
# Two service copies with a fresh heartbeat are left alone; once both stall, the restart
# kills both and starts one.
# shellcheck source=../harness/cupsfx.sh
. "$ORVO_HARNESS/cupsfx.sh"
. "$(dirname "$0")/wdfx.sh"

bin="$WD_ROOT/bin/$WD_SERVICE"
(cd "$WD_WORK" && exec "$bin") &
check "first copy beats" wait_until 30 test -f "$(heartbeat)"
# The service refuses to run beside a copy it can see; the second copy gets a process list
# of its own, while the watchdog still sees both.
# The inner shell runs its own $0, the service binary.
# shellcheck disable=SC2016
unshare --pid --fork --mount --mount-proc --propagation private -- bash -c '"$0"; exit' "$bin" &
# shellcheck disable=SC2317 # run through check
two() { [ "$(service_count)" -eq 2 ]; }
# A copy logs its start once it has passed its single-instance check.
# shellcheck disable=SC2317 # run through wait_until
started_twice() { [ "$(cat "$WD_ROOT"/log/log_srv_*.log 2> /dev/null | grep -c 'Start service, enable log')" -eq 2 ]; }
check "second copy started" wait_until 30 started_twice
check "both copies stay" two
copies=$(service_pids)

wd_start
check "watchdog started" wait_until 30 wd_has "Start watchdog"
check "the copies beat on, a cycle later again" eval 'next_beat && next_beat'
check_eq "both copies left alone" "$copies" "$(service_pids)"
check_eq "nothing but the start line logged" "Start watchdog, enable log" "$(wd_messages)"

for p in $copies; do kill -STOP "$p"; done
check "restart once the heartbeat is stale" wait_until 40 wd_has "run service"
# shellcheck disable=SC2317 # run through wait_until
only_new() { local p; p=$(service_pids); [ -n "$p" ] && [ "$(echo "$p" | wc -w)" -eq 1 ] && ! echo " $copies " | grep -q " $p "; }
check "both copies killed, one new copy runs" wait_until 30 only_new
for p in $copies; do check "copy $p gone" gone "$p"; done
check_eq "one restart" 1 "$(wd_log | grep -cF 'run service')"
finish
