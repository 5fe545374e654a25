#!/usr/bin/env bash
# Status files of USB and network printers played by the simulator: exact bytes, writes only
# on change, two devices of one model told apart, unplug and replug, network silence.
set -uo pipefail
. "$(dirname "$0")/service-lib.sh"

sim_start "$TMPDIR/sim.sock" --usb p1:K20NW:AB1234 --usb p2:K20NW:CD5678 --net n1:K40N:127.0.0.2 || exit 1
sim_ctl set status n1 2 > /dev/null   # busy: a network printer that is not ready is polled every second
# The port serial is a prefix of the device serial, in another letter case.
cupsfx_add_queue USB_A 'usb://Orvo/K20NW?serial=ab12' K20NW
cupsfx_add_queue USB_B 'usb://Orvo/K20NW?serial=CD5678' K20NW
cupsfx_add_queue NET_N 'socket://127.0.0.2:9100/?snmp=false' K40N
cupsfx_wait_conf NET_N
sim_ctl set ink p2 11 22 33 44 > /dev/null

start_service
check "USB status file written" wait_until 30 test -s "$CFG/USB_A.dat"
check "USB file: seven zero bytes, then the device's reply" by_queries p1 2 dat_is USB_A "$(usb_expected p1)"
check "second device of the same model told apart by serial" by_queries p2 2 dat_is USB_B "$(usb_expected p2)"
# The network printer starts off-line, whose cycle is 10 s (a worker that copies its element
# before the list is marked ready waits out one such cycle before its first query); from its
# second reply on it is polled every second. The USB cases run meanwhile.

# shellcheck disable=SC2317 # run through check
twice_more() { wait_until 30 requests_at_least "$1" $(( $(requests "$1") + 2 )); }
# Serial number reads (string descriptor 3) the device has answered so far.
serial_reads() { sim_ctl get "$1" controls | grep -c '^80 06 0303 ' || true; }
m1=$(mtime_ns "$CFG/USB_A.dat")
s1=$(serial_reads p1)
check "the USB printer answered twice more with the same reply" twice_more p1
check_eq "unchanged USB reply leaves the file alone" "$m1" "$(mtime_ns "$CFG/USB_A.dat")"
# The printer found stays open while the bus is unchanged: no search, no serial read again.
check "serial number read when first found" test "$s1" -ge 1
check_eq "no serial number read again while the bus is unchanged" "$s1" "$(serial_reads p1)"
sim_ctl set ink p1 5 90 45 20 > /dev/null
sim_ctl set errors p1 0x6151 > /dev/null
check "changed USB reply rewritten within a cycle" by_queries p1 2 dat_is USB_A "$(usb_expected p1)"

sim_ctl set raw p2 ab > /dev/null
check "an 8-byte reply is stored although it does not parse" by_queries p2 2 dat_is USB_B 00000000000000ab
sim_ctl set raw p2 > /dev/null

sim_ctl unplug p1 > /dev/null
# The other device's worker is the clock here: three of its cycles outlast one of p1's.
check "unplugged: file gone within a cycle" by_queries p2 3 test ! -e "$CFG/USB_A.dat"
check "other device unaffected" test -e "$CFG/USB_B.dat"
# The device kept open since the first query has gone: its first failed query searches
# afresh and reports it missing, which takes it off-line at once.
check_eq "unplugged: reported missing, not as a claim failure" 0 "$(log_count 'Cannot Claim Interface')"
check "unplugged: \"Cannot open device\" logged" log_count_at_least "Cannot open device" 1
sim_ctl plug p1 > /dev/null
check "replugged: file back with the first reply" by_queries p1 2 dat_is USB_A "$(usb_expected p1)"
check "replugged: found by a fresh search" test "$(serial_reads p1)" -gt "$s1"

check "network status file holds the whole datagram" wait_until 30 dat_is NET_N "$(net_expected n1)"
wait_until 30 requests_at_least n1 2
n1=$(mtime_ns "$CFG/NET_N.dat")
check "the network printer answered twice more with the same reply" twice_more n1
check_eq "unchanged network reply leaves the file alone" "$n1" "$(mtime_ns "$CFG/NET_N.dat")"
sim_ctl set warnings n1 0x6163 > /dev/null
check "changed network reply rewritten within a cycle" by_queries n1 2 dat_is NET_N "$(net_expected n1)"
check "no temporary file left beside the status files" test -z "$(find "$CFG" -mindepth 1 -maxdepth 1 ! -name '*.dat' ! -name printerlist.ini ! -name service.hb ! -name '*.tmp')"

# Silent: each failed query waits out the 2 s reply time-out, so the file is looked at well
# before the sixth failure.
sim_ctl net n1 silent on > /dev/null
fail="connect NET_N fail, ret = -5"
wait_until 60 log_count_at_least "$fail" 5
check "five failures keep the network printer's file" test -e "$CFG/NET_N.dat"
check "the sixth deletes it" wait_until 30 test ! -e "$CFG/NET_N.dat"
check_eq "after exactly six failures" 6 "$(log_count "$fail")"
sim_ctl net n1 silent off > /dev/null
check "answering again: file back (an off-line printer is asked at the start of its 10 s cycle)" \
  wait_until 30 dat_is NET_N "$(net_expected n1)"

stop_service
sim_stop
finish
