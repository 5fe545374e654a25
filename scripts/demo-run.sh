#!/usr/bin/env bash
# Runs inside the sandbox (see demo.sh): the simulated printers, their CUPS queues, the
# watchdog that starts the print service, one page scanned through SANE into a PNG, and the
# live status view. With a display ($DISPLAY) the tray tool opens on the same printers.
set -uo pipefail
# shellcheck source=../tests/harness/cupsfx.sh
. "$ORVO_HARNESS/cupsfx.sh"
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"

ROOT=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}
SECONDS_TO_RUN=${DEMO_SECONDS:-70}
say() { printf '\n>>> %s\n' "$*"; }

sim_start "$TMPDIR/sim.sock" --usb usb1:K20NW:AB1234 --net net1:K40N:127.0.0.2 || exit 1
cupsfx_add_queue Orvo-K20NW 'usb://Orvo/K20NW?serial=AB1234' K20NW
cupsfx_add_queue Orvo-K40N 'socket://127.0.0.2:9100/?snmp=false' K40N
cupsfx_wait_conf Orvo-K40N
sim_ctl set status net1 2 > /dev/null

say "CUPS queues of the sandbox:"
lpstat -v
say "starting the watchdog; it starts the print service ($ROOT/bin/orvoK500Service)"
"$ROOT/bin/orvoK500Watchdog" > /dev/null 2>&1 &
if [ -n "${DISPLAY:-}" ] && [ -x "$ROOT/bin/orvoK500Tool" ]; then
  say "opening the tray tool on $DISPLAY"
  "$ROOT/bin/orvoK500Tool" > /dev/null 2>&1 &
fi
for _ in $(seq 100); do [ -s "$ROOT/cfg/printerlist.ini" ] && break; sleep 0.1; done
say "printer list file written by the service:"
cat "$ROOT/cfg/printerlist.ini"
"$ROOT/bin/orvoK500Service"
say "a second copy of the service exits at once (status $?); the running one logs:"
cat "$ROOT"/log/log_srv_*.log

# Scanning from an ordinary SANE front end: scanimage -> backend "orvo" -> scan daemon.
. "$ORVO_SOURCE_DIR/tests/scandaemon/scanfx.sh"
. "$ORVO_SOURCE_DIR/tests/sane/sanefx.sh"
say "starting the scan daemon; scanimage lists the MFPs through the SANE backend \"orvo\":"
scan_daemon_start && sane_run -L
scan_png=$ORVO_BUILD_DIR/demo-scan.png
if sane_run -d orvo:usb:AB1234 --mode Color --resolution 75 --format=png -o "$scan_png"; then
  say "scanned one A4 page from the simulated K20NW (75 dpi, the simulator's test pattern): $scan_png"
else
  say "the scan from the simulated K20NW failed"
fi

# The simulated printers change while the status view refreshes every 2 seconds.
scenario() {
  sleep 8;  sim_ctl set ink usb1 70 35 15 90 > /dev/null
  sleep 8;  sim_ctl set warnings net1 0x6160 > /dev/null
  sleep 8;  sim_ctl set status usb1 16 > /dev/null
  sleep 8;  sim_ctl set errors usb1 0x6110 > /dev/null
  sleep 8;  sim_ctl set errors usb1 > /dev/null; sim_ctl set status usb1 0 > /dev/null
  sleep 8;  sim_ctl unplug usb1 > /dev/null
  sleep 8;  sim_ctl plug usb1 > /dev/null
}
scenario &
say "live status (every 2 s for ${SECONDS_TO_RUN} s; Ctrl-C ends the demo)"
timeout "$SECONDS_TO_RUN" "$ROOT/bin/orvoK500Status" -w 2
say "service log:"
tail -n 5 "$ROOT"/log/log_srv_*.log
say "watchdog log:"
cat "$ROOT"/log/log_wd_*.log
sim_stop
exit 0
