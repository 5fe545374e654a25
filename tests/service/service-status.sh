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
# A worker that copies its element before the list is marked ready waits out one off-line
# network cycle (10 s) before its first query.
check "network status file holds the whole datagram" wait_until 30 dat_is NET_N "$(net_expected n1)"

# A network printer's first reply comes while it is still off-line, whose cycle is 10 s;
# from its second reply on it is polled every second.
wait_until 30 requests_at_least n1 2
m1=$(mtime_ns "$CFG/USB_A.dat"); n1=$(mtime_ns "$CFG/NET_N.dat")
twice_more() { wait_until 30 requests_at_least "$1" $(( $(requests "$1") + 2 )); }
check "the USB printer answered twice more with the same reply" twice_more p1
check "the network printer answered twice more with the same reply" twice_more n1
check_eq "unchanged USB reply leaves the file alone" "$m1" "$(mtime_ns "$CFG/USB_A.dat")"
check_eq "unchanged network reply leaves the file alone" "$n1" "$(mtime_ns "$CFG/NET_N.dat")"

sim_ctl set ink p1 5 90 45 20 > /dev/null
sim_ctl set errors p1 0x6151 > /dev/null
check "changed USB reply rewritten within a cycle" by_queries p1 2 dat_is USB_A "$(usb_expected p1)"
sim_ctl set warnings n1 0x6163 > /dev/null
check "changed network reply rewritten within a cycle" by_queries n1 2 dat_is NET_N "$(net_expected n1)"
check "no temporary file left beside the status files" test -z "$(find "$CFG" -mindepth 1 -maxdepth 1 ! -name '*.dat' ! -name printerlist.ini ! -name service.hb ! -name '*.tmp')"

# The network printer goes silent: its six failed queries (each waits out the 2 s reply
# time-out) take long enough for a short USB case to run meanwhile.
sim_ctl net n1 silent on > /dev/null
sim_ctl set raw p2 ab > /dev/null
check "an 8-byte reply is stored although it does not parse" by_queries p2 2 dat_is USB_B 00000000000000ab
sim_ctl set raw p2 > /dev/null

fail="connect NET_N fail, ret = -5"
wait_until 60 log_count_at_least "$fail" 5
check "five failures keep the network printer's file" test -e "$CFG/NET_N.dat"
check "the sixth deletes it" wait_until 30 test ! -e "$CFG/NET_N.dat"
check_eq "after exactly six failures" 6 "$(log_count "$fail")"
# Off-line now, it is asked again only after 10 s: the USB unplug runs meanwhile.
sim_ctl net n1 silent off > /dev/null

sim_ctl unplug p1 > /dev/null
check "unplugged: file gone within a cycle (of the other device's worker)" by_queries p2 2 test ! -e "$CFG/USB_A.dat"
check "other device unaffected" test -e "$CFG/USB_B.dat"
sim_ctl plug p1 > /dev/null
check "replugged: file back with the first reply" by_queries p1 2 dat_is USB_A "$(usb_expected p1)"

check "answering again: file back (off-line printers are polled every 10 s)" wait_until 30 dat_is NET_N "$(net_expected n1)"

stop_service
sim_stop
finish
