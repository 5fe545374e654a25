# shellcheck shell=bash
# Shared helpers for the service's end-to-end tests (sourced inside the sandbox).
# shellcheck source=../harness/cupsfx.sh
. "$ORVO_HARNESS/cupsfx.sh"

ROOT=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}
CFG=$ROOT/cfg
LIST=$CFG/printerlist.ini
export ASAN_OPTIONS=${ASAN_OPTIONS:-verify_asan_link_order=0}

# ini_value GROUP KEY: a value of the printer list file as QSettings wrote it.
ini_value() {
  awk -v g="[$1]" -v k="$2" -F= '
    /^\[/ { in_g = ($0 == g); next }
    in_g && $1 == k { sub(/^[^=]*=/, ""); gsub(/^"|"$/, ""); print; exit }' "$LIST"
}

# value_is GROUP KEY EXPECTED: for polling with wait_until.
value_is() { [ "$(ini_value "$1" "$2")" = "$3" ]; }

# conf_order NAME...: the given queues in the order of CUPS' printers file.
conf_order() {
  local want=" $* "
  sed -nE 's/^<(Default)?Printer (.*)>$/\2/p' /etc/cups/printers.conf |
    while IFS= read -r q; do case "$want" in *" $q "*) printf '%s\n' "$q" ;; esac; done | xargs
}

mtime_ns() { stat -c %.9Y "$1" 2>/dev/null; }

start_service() {
  "$ROOT/bin/orvoK500Service" > "$TMPDIR/service.out" 2>&1 &
  SERVICE_PID=$!
}

stop_service() {
  [ -z "${SERVICE_PID:-}" ] || { kill "$SERVICE_PID" 2>/dev/null; wait "$SERVICE_PID" 2>/dev/null || true; }
  SERVICE_PID=
}

. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"

hexof() { xxd -p "$1" 2>/dev/null | tr -d '\n'; }
lower() { tr 'A-F' 'a-f'; }
# The status file a USB device's current state gives: seven zero bytes, then the reply.
usb_expected() { echo "00000000000000$(sim_ctl get "$1" status | lower)"; }
net_expected() { net_frame "$(sim_ctl get "$1" status)"; }
# net_frame BODY: the datagram a network printer sends for the status body BODY (hex).
net_frame() {
  local body
  body=$(lower <<< "$1")
  printf 'a5%04x50e07408%s' $(( ${#body} / 2 + 4 )) "$body"
}
dat_is() { [ "$(hexof "$CFG/$1.dat")" = "$2" ]; }
log_count() { cat "$ROOT"/log/log_srv_*.log 2>/dev/null | grep -cF -- "$1"; }
log_count_at_least() { [ "$(log_count "$1")" -ge "$2" ]; }
# listed NAME: the printer list file holds the queue (at any position below Count).
listed() {
  local i n
  n=$(ini_value Main Count)
  for (( i = 0; i < ${n:-0}; i++ )); do [ "$(ini_value "printer_$i" Name)" != "$1" ] || return 0; done
  return 1
}

# Device progress as the clock: the simulator counts every status request it gets.
requests() { sim_ctl get "$1" requests; }
requests_at_least() { [ "$(requests "$1")" -ge "$2" ]; }
# by_queries DEV N CMD...: CMD holds by the time DEV has been asked N more times (N = 2:
# within one polling cycle of DEV's worker, whose reply is handled before it asks again;
# for what another thread does, N = 3 covers one whole cycle of 1.5 s and more).
# Succeeds as soon as CMD does; fails once DEV got its N queries without CMD holding.
by_queries() {
  local dev=$1 until
  until=$(( $(requests "$dev") + $2 ))
  shift 2
  wait_until 60 _cmd_or_queried "$dev" "$until" "$@" && "$@"
}
_cmd_or_queried() {
  local dev=$1 until=$2
  shift 2
  "$@" || requests_at_least "$dev" "$until"
}
