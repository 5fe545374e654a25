#!/usr/bin/env bash
# The installed service against the private cupsd: which queues it publishes, how the
# printer list file follows changes, status-file clean-up and the heartbeat.
set -uo pipefail
. "$(dirname "$0")/service-lib.sh"

U8=$(printf '打印机K20')
cupsfx_add_queue ACME_P1 'socket://127.0.0.1:9101/?snmp=false' ACME
cupsfx_add_queue K20NW_IPP 'ipp://127.0.0.1:8631/ipp/print' K20NW
cupsfx_add_queue K20NW_USB 'usb://Orvo/K20NW?serial=AB12' K20NW
cupsfx_add_queue K40N_NET 'socket://127.0.0.2:9100/?snmp=false' K40N
cupsfx_add_queue K40W_OWN 'orvok500socket://127.0.0.3' K40W
cupsfx_add_queue_noppd RAW_USB 'usb://Orvo/K20N?serial=ZZ'
cupsfx_add_queue "$U8" 'usb://Orvo/K40NW?serial=CD56' K40NW
cupsfx_set_default K20NW_USB
cupsfx_wait_conf "$U8"

# Files of queues that no longer exist are removed at the first rebuild; a symlink is not a file.
mkdir -p "$CFG"
echo stale > "$CFG/Gone.dat"
echo keep > "$CFG/K40N_NET.dat"
ln -s /dev/null "$CFG/Link.dat"

start_service
check "printer list written" wait_until 30 test -s "$LIST"
check_eq "count: the maker's USB and network queues only" 4 "$(ini_value Main Count)"
order=$(conf_order K20NW_USB K40N_NET K40W_OWN "$U8")
check_eq "CUPS file order, the default printer included" "$order" \
  "$(for i in 0 1 2 3; do ini_value printer_$i Name; done | xargs)"
# index_of NAME: the queue's group in the printer list file.
index_of() { local i; for i in 0 1 2 3 4; do [ "$(ini_value printer_$i Name)" != "$1" ] || { echo $i; return; }; done; }
iu=$(index_of K20NW_USB); in=$(index_of K40N_NET); io=$(index_of K40W_OWN); i8=$(index_of "$U8")
check_eq "USB record" "Orvo K20NW|1|Orvo/K20NW?serial=AB12|usb://Orvo/K20NW?serial=AB12" \
  "$(ini_value "printer_$iu" Model)|$(ini_value "printer_$iu" ConnectType)|$(ini_value "printer_$iu" Port)|$(ini_value "printer_$iu" URI)"
check_eq "socket record" "Orvo K40N|2|127.0.0.2|socket://127.0.0.2:9100/?snmp=false" \
  "$(ini_value "printer_$in" Model)|$(ini_value "printer_$in" ConnectType)|$(ini_value "printer_$in" Port)|$(ini_value "printer_$in" URI)"
check_eq "maker's backend record" "2|127.0.0.3" "$(ini_value "printer_$io" ConnectType)|$(ini_value "printer_$io" Port)"
check_eq "non-ASCII queue name stored as raw UTF-8" 1 "$(grep -cxF "Name=$U8" "$LIST")"
check_eq "and its record found under that name" "Orvo/K40NW?serial=CD56" "$(ini_value "printer_$i8" Port)"
check "stale status file removed" test ! -e "$CFG/Gone.dat"
check "current queue's status file kept" test -e "$CFG/K40N_NET.dat"
check "symlinked .dat left alone" test -L "$CFG/Link.dat"

hb=$(cat "$CFG/service.hb")
check_eq "heartbeat is 25 characters" 25 "${#hb}"
check_match "heartbeat format" '^\[[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}\]$' "$hb"
# shellcheck disable=SC2317 # run through wait_until
hb_not() { [ "$(mtime_ns "$CFG/service.hb")" != "$1" ]; }
# next_beat: waits for the next heartbeat and prints its time.
next_beat() { local t; t=$(mtime_ns "$CFG/service.hb"); wait_until 30 hb_not "$t"; mtime_ns "$CFG/service.hb"; }

# Deleted by hand: written again within one cycle, nothing else changed.
rm -f "$LIST"
check "deleted list rewritten within a cycle" wait_until 30 test -s "$LIST"
check_eq "rewritten list complete" 4 "$(ini_value Main Count)"

# Only the model changes: not a change of the printer set, the file stays as it is.
before=$(mtime_ns "$LIST")
lpadmin -p K40N_NET -P "$(cupsfx_ppd K40NW)" 2> /dev/null
# Two heartbeats later a whole device-manager cycle has read the changed model. Their gap is
# at least the 5 s pause, and well within the watchdog's 10 s however loaded the machine.
t2=$(next_beat)
t3=$(next_beat)
gap=$(echo "$t3 - $t2" | bc)
check "heartbeat renewed every 5 s and more (gap $gap)" test "$(echo "$gap >= 4.9 && $gap < 10" | bc)" = 1
check_eq "model change alone rewrites nothing" "$before" "$(mtime_ns "$LIST")"
check_eq "model change alone keeps the published model" "Orvo K40N" "$(ini_value "printer_$in" Model)"

# Renamed (same URI, new name): rebuilt, old status file deleted, file rewritten.
cupsfx_add_queue K40N_NEW 'socket://127.0.0.2:9100/?snmp=false' K40N
cupsfx_del_queue K40N_NET
check "rename rewrites the list" wait_until 30 value_is "printer_$in" Name K40N_NEW
check "old name's status file deleted" test ! -e "$CFG/K40N_NET.dat"

# Shrinking from 4 to 3: Count follows, the group beyond it stays.
last=$(ini_value printer_3 Name)
cupsfx_del_queue K20NW_USB
check "count shrinks" wait_until 30 value_is Main Count 3
check_eq "stale group kept" "$last" "$(ini_value printer_3 Name)"

# A second copy exits at once, with status 0 and without a log line.
"$ROOT/bin/orvoK500Service"
check_eq "second instance exits 0" 0 "$?"
first_log=$(ls "$ROOT"/log/log_srv_*)
check_eq "one log file only" 1 "$(echo "$first_log" | wc -l)"
check_match "log file name" '/log/log_srv_[0-9]{8}_[0-9]{6}_0\.log$' "$first_log"
check_match "first log line" '^\[[^]]+\] \(\.\./OrvoPrintService/main@20 main\) Start service, enable log$' "$(head -1 "$first_log")"
check "second instance wrote nothing" test "$(grep -c 'Start service' "$first_log")" = 1

stop_service
finish
