#!/usr/bin/env bash
# bench/service-bench.sh [--seconds N] [--net-only] [--idle-net] [--no-watchdog] [--quick]
#   (as root)
#
# Background cost of the installed print service and its watchdog, inside the test sandbox
# with a private cupsd and the device simulator. Default set-up: two USB printers (K20NW
# AB1234, K40W EF9012) and two network printers (K40N 127.0.0.2, K20W 127.0.0.3), a CUPS job
# printing on the first USB queue (the private cupsd's usb backend sees no device, so the job
# stays printing), both network printers busy (printing: asked every second). --idle-net
# leaves them idle and ready (not asked). --net-only leaves out the USB side (no umockdev),
# to show what the CUPS and UDP side costs by itself.
#
# Phases, each measured over the same window after a 5 s warm-up:
#   baseline   cupsd, simulator and job only: what the environment costs and spawns by itself
#   reference  bench/least-work: only the device exchanges the service must make (one USB
#              status request per USB printer every 1.5 s, one UDP exchange per busy network
#              printer every second), the least work to compare the service with
#   refcups    the same plus the least the job monitor asks of the scheduler (one event
#              subscription fetched every 250 ms), shown beside it
#   before     when ORVO_BENCH_SERVICE_BEFORE names another service binary (an earlier
#              build), that one, for before/after figures from the same run
#   service    the installed service alone
#   watchdog   the watchdog, which starts the service itself (skipped with --no-watchdog)
# Figures: CPU time as a share of one core from /proc/PID/stat (utime+stime; "+children"
# adds cutime+cstime, the CPU of the commands the process started and reaped), the
# service's peak RSS (VmHWM), and the processes spawned in the window. Spawns are counted
# with kernel process accounting (acct(2), one record per process that ends; threads make
# none), restricted to PIDs allocated in the window and grouped by parent; the PID
# namespace's ns_last_pid delta (processes and threads) is shown beside it. The measuring
# shell itself starts nothing during a window.
# --quick: 1 s warm-up and 2 s windows (what the test suite runs; figures only indicative).
# Builds a Release tree in build-bench (no sanitizers, see scripts/lib/orvo-build.sh).
set -euo pipefail

# shellcheck source=bench/lib/sandbox.sh
. "$(dirname "$0")/lib/sandbox.sh"
[ "${1:-}" = --inner ] || bench_sandbox "$0" "$@"
shift

window=60
warmup=5
quick=0
net_only=0
idle_net=0
with_watchdog=1
while [ "$#" -gt 0 ]; do
  case "$1" in
    --seconds) window=$2; shift 2 ;;
    --net-only) net_only=1; shift ;;
    --idle-net) idle_net=1; shift ;;
    --no-watchdog) with_watchdog=0; shift ;;
    --quick) quick=1; window=2; warmup=1; shift ;;
    *) echo "service-bench: unknown option $1" >&2; exit 2 ;;
  esac
done
baseline_window=$(( window / 4 > 10 ? window / 4 : 10 ))
[ "$quick" = 0 ] || baseline_window=$window

# shellcheck source=../tests/harness/cupsfx.sh
. "$ORVO_HARNESS/cupsfx.sh"
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
ROOT=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}
SERVICE=orvoK500Service
HZ=$(getconf CLK_TCK)
ACCT=$TMPDIR/bench.acct
WORK=$TMPDIR/bench
mkdir -p "$WORK"

poll_until() {
  local limit=$(( $1 * 10 )) i=0
  shift
  until "$@"; do
    i=$(( i + 1 ))
    [ "$i" -lt "$limit" ] || return 1
    sleep 0.1
  done
}

# ---- set-up ----------------------------------------------------------------------------
if [ "$net_only" -eq 1 ]; then
  sim_start "$TMPDIR/sim.sock" --net n1:K40N:127.0.0.2 --net n2:K20W:127.0.0.3
else
  sim_start "$TMPDIR/sim.sock" --usb p1:K20NW:AB1234 --usb p2:K40W:EF9012 \
    --net n1:K40N:127.0.0.2 --net n2:K20W:127.0.0.3
  cupsfx_add_queue USB1 'usb://Orvo/K20NW?serial=AB1234' K20NW
  cupsfx_add_queue USB2 'usb://Orvo/K40W?serial=EF9012' K40W
fi
reference_args=()
if [ "$net_only" -eq 0 ]; then
  reference_args+=(--usb 300e:2005:AB1234 --usb 300e:200a:EF9012)
fi
if [ "$idle_net" -eq 0 ]; then
  sim_ctl set status n1 16 > /dev/null
  sim_ctl set status n2 16 > /dev/null
  reference_args+=(--net 127.0.0.2 --net 127.0.0.3)
fi
cupsfx_add_queue NET1 'socket://127.0.0.2:9100/?snmp=false' K40N
cupsfx_add_queue NET2 'socket://127.0.0.3:9100/?snmp=false' K20W
cupsfx_wait_conf NET2
if [ "$net_only" -eq 0 ]; then
  echo "bench job" > "$WORK/doc.txt"
  lp -d USB1 "$WORK/doc.txt" > /dev/null
  printing() { lpstat -l -o USB1 2> /dev/null | grep -q job-printing; }
  poll_until 15 printing || { echo "service-bench: the job on USB1 does not print" >&2; exit 1; }
fi

# ---- measuring helpers (bash builtins only, so that a window spawns nothing) -----------
# ticks PID -> "own children" clock ticks, or "0 0" when the process is gone.
ticks() {
  local line rest
  if ! read -r line < "/proc/$1/stat" 2> /dev/null; then
    echo "0 0"
    return
  fi
  rest=${line##*) }
  # shellcheck disable=SC2086
  set -- $rest
  echo "$(( ${12} + ${13} )) $(( ${14} + ${15} ))"
}
# shellcheck source=bench/lib/proc.sh
. "$ORVO_SOURCE_DIR/bench/lib/proc.sh"
pid_of() {
  local d c
  for d in /proc/[0-9]*; do
    read -r c < "$d/comm" 2> /dev/null || continue
    [ "$c" != "$1" ] || { echo "${d#/proc/}"; return 0; }
  done
  return 1
}
mkfifo "$WORK/clock"
exec {clock}<> "$WORK/clock"
pause() { read -r -t "$1" -u "$clock" _ || true; }

acct_switch() {
  python3 -c 'import ctypes, sys; sys.exit(ctypes.CDLL(None, use_errno=True).acct(sys.argv[1].encode() if len(sys.argv) > 1 else None) != 0)' "$@"
}

# Processes created in the window (pid in (FROM, TO]) that ended before accounting stopped,
# grouped by their parent's role and their command name.
acct_report() {
  python3 - "$ACCT" "$1" "$2" "$3" << 'EOF'
import struct, sys, collections
path, first, last, roles = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
role = dict(r.split('=') for r in roles.split(',') if r)
data = open(path, 'rb').read()
counts = collections.Counter()
for i in range(0, len(data) - 63, 64):
    rec = data[i:i + 64]
    if rec[1] != 3:
        continue
    pid, ppid = struct.unpack_from('<II', rec, 16)
    if first < pid <= last:
        comm = rec[48:64].split(b'\0')[0].decode(errors='replace')
        counts[(role.get(str(ppid), 'other'), comm)] += 1
total = sum(counts.values())
print(total)
for (parent, comm), n in sorted(counts.items(), key=lambda kv: -kv[1]):
    print(f"    {n:6d}  {comm}  (parent: {parent})")
EOF
}

share() { # ticks seconds -> percent of one core with two decimals
  local t=$1 s=$2
  local centi=$(( t * 10000 / (HZ * s) ))
  printf '%d.%02d%%' $(( centi / 100 )) $(( centi % 100 ))
}
share_ns() { # nanoseconds seconds -> percent of one core with three decimals
  local milli=$(( $1 / ($2 * 10000) ))
  printf '%d.%03d%%' $(( milli / 1000 )) $(( milli % 1000 ))
}

declare -A R
# measure PHASE NAME=PID...: one window over the named processes.
measure() {
  local phase=$1 entry name pid p0 p1
  shift
  local -A own0 ch0 ns0
  local roles="$CUPSFX_PID=cupsd,$SIM_PID=simulator"
  for entry in "$@"; do
    name=${entry%%=*}
    pid=${entry#*=}
    roles+=",$pid=$name"
    read -r "own0[$name]" "ch0[$name]" < <(ticks "$pid")
    read -r "ns0[$name]" < <(runtime_ns "$pid")
  done
  read -r "R[$phase.cupsd.own0]" _ < <(ticks "$CUPSFX_PID")
  read -r "R[$phase.cupsd.ns0]" < <(runtime_ns "$CUPSFX_PID")
  : > "$ACCT"
  acct_switch "$ACCT"
  read -r p0 < /proc/sys/kernel/ns_last_pid
  pause "$CUR_WINDOW"
  read -r p1 < /proc/sys/kernel/ns_last_pid
  read -r "R[$phase.cupsd.own1]" _ < <(ticks "$CUPSFX_PID")
  read -r "R[$phase.cupsd.ns1]" < <(runtime_ns "$CUPSFX_PID")
  for entry in "$@"; do
    name=${entry%%=*}
    pid=${entry#*=}
    local o c
    read -r o c < <(ticks "$pid")
    read -r "R[$phase.$name.ns]" < <(runtime_ns "$pid")
    R[$phase.$name.ns]=$(( R[$phase.$name.ns] - ns0[$name] ))
    R[$phase.$name.own]=$(( o - own0[$name] ))
    R[$phase.$name.all]=$(( o + c - own0[$name] - ch0[$name] ))
    [ -d "/proc/$pid" ] || R[$phase.$name.gone]=1
  done
  acct_switch
  R[$phase.pids]=$(( p1 - p0 ))
  R[$phase.acct]=$(acct_report "$p0" "$p1" "$roles")
  R[$phase.cupsd]=$(( R[$phase.cupsd.own1] - R[$phase.cupsd.own0] ))
  R[$phase.cupsd.ns]=$(( R[$phase.cupsd.ns1] - R[$phase.cupsd.ns0] ))
}

print_phase() {
  local phase=$1 secs=$2 name
  shift 2
  echo "== $phase ($secs s window)"
  for name in "$@"; do
    printf '  %-10s CPU %s of one core (run time); ticks: %s own, %s with the commands it started%s\n' "$name" \
      "$(share_ns "${R[$phase.$name.ns]}" "$secs")" \
      "$(share "${R[$phase.$name.own]}" "$secs")" "$(share "${R[$phase.$name.all]}" "$secs")" \
      "$([ -z "${R[$phase.$name.gone]:-}" ] || echo '  [process ended during the window!]')"
  done
  printf '  %-10s CPU %s of one core (run time); ticks: %s\n' cupsd "$(share_ns "${R[$phase.cupsd.ns]}" "$secs")" \
    "$(share "${R[$phase.cupsd]}" "$secs")"
  printf '  %-10s PIDs allocated in the namespace (processes and threads): %d\n' spawned "${R[$phase.pids]}"
  printf '  %-10s processes started and ended in the window (process accounting): %s\n' '' "${R[$phase.acct]%%$'\n'*}"
  [ "${R[$phase.acct]}" = "${R[$phase.acct]%%$'\n'*}" ] || printf '%s\n' "${R[$phase.acct]#*$'\n'}"
}

# ---- baseline --------------------------------------------------------------------------
CUR_WINDOW=$baseline_window
measure baseline

# ---- least-work reference --------------------------------------------------------------
CUR_WINDOW=$window
"$ORVO_BUILD_DIR/bench/least-work" "${reference_args[@]}" > "$WORK/reference.out" 2>&1 &
ref=$!
pause "$warmup"
measure reference "reference=$ref"
kill "$ref"
wait "$ref" 2> /dev/null || true
# The same with the least the job monitor needs from the scheduler on top: its event
# subscription fetched four times a second.
"$ORVO_BUILD_DIR/bench/least-work" "${reference_args[@]}" --cups-poll > "$WORK/reference-cups.out" 2>&1 &
ref=$!
pause "$warmup"
measure refcups "reference=$ref"
kill "$ref"
wait "$ref" 2> /dev/null || true

# Runs the installed service through one window named $1; its peak RSS (kB) goes to HWM.
measure_service() {
  "$ROOT/bin/$SERVICE" > "$WORK/$1.out" 2>&1 &
  local pid=$!
  pause "$warmup"
  measure "$1" "service=$pid"
  HWM=$(status_of "$pid" VmHWM)
  kill "$pid"
  wait "$pid" 2> /dev/null || true
}

# ---- an earlier service, for before/after figures ---------------------------------------
cd "$WORK"
if [ -n "${ORVO_BENCH_SERVICE_BEFORE:-}" ]; then
  # Installed under the service's own name and place: it finds its files as the service does.
  cp "$ROOT/bin/$SERVICE" "$WORK/service.now"
  cp "$ORVO_BENCH_SERVICE_BEFORE" "$ROOT/bin/$SERVICE"
  measure_service before
  bsvc_hwm=$HWM
  cp "$WORK/service.now" "$ROOT/bin/$SERVICE"
fi

# ---- service alone ---------------------------------------------------------------------
measure_service service
svc_hwm=$HWM

# ---- watchdog and the service it starts ------------------------------------------------
if [ "$with_watchdog" -eq 1 ]; then
  "$ROOT/bin/orvoK500Watchdog" > /dev/null 2>&1 &
  wd=$!
  poll_until 10 pid_of "$SERVICE" > /dev/null || { echo "service-bench: the watchdog started no service" >&2; exit 1; }
  pause "$warmup"
  wsvc=$(pid_of "$SERVICE")
  measure watchdog "watchdog=$wd" "service=$wsvc"
  wsvc_hwm=$(status_of "$wsvc" VmHWM)
  kill "$wd" "$wsvc" 2> /dev/null || true
  wait "$wd" 2> /dev/null || true
fi

# ---- report ----------------------------------------------------------------------------
echo
net_state=$([ "$idle_net" -eq 1 ] && echo "idle and ready" || echo "busy (printing, asked every second)")
echo "service benchmark: $( [ "$net_only" -eq 1 ] && echo "network only: NET1 (K40N 127.0.0.2), NET2 (K20W 127.0.0.3), both $net_state" ||
  echo "USB1 (K20NW AB1234, CUPS job printing), USB2 (K40W EF9012), NET1 (K40N 127.0.0.2), NET2 (K20W 127.0.0.3), network $net_state")"
echo "commit $(git -C "$ORVO_SOURCE_DIR" rev-parse --short HEAD 2> /dev/null || echo unknown)$(git -C "$ORVO_SOURCE_DIR" diff --quiet HEAD -- common OrvoPrintService OrvoPrintWatchdog 2> /dev/null || echo ' (with local changes)'), build $ORVO_BUILD_DIR"
print_phase baseline "$baseline_window"
print_phase reference "$window" reference
print_phase refcups "$window" reference
if [ -n "${ORVO_BENCH_SERVICE_BEFORE:-}" ]; then
  print_phase before "$window" service
  printf '  %-10s peak RSS (VmHWM) %d kB = %d.%d MB  (%s)\n' service "$bsvc_hwm" $(( bsvc_hwm / 1024 )) \
    $(( bsvc_hwm % 1024 * 10 / 1024 )) "$ORVO_BENCH_SERVICE_BEFORE"
fi
print_phase service "$window" service
printf '  %-10s peak RSS (VmHWM) %d kB = %d.%d MB\n' service "$svc_hwm" $(( svc_hwm / 1024 )) $(( svc_hwm % 1024 * 10 / 1024 ))
if [ "$with_watchdog" -eq 1 ]; then
  print_phase watchdog "$window" watchdog service
  printf '  %-10s peak RSS (VmHWM) %d kB = %d.%d MB\n' service "$wsvc_hwm" $(( wsvc_hwm / 1024 )) $(( wsvc_hwm % 1024 * 10 / 1024 ))
fi
# Ratios from the run times (exact); the tick figures beside them for comparison with
# earlier runs of this script.
awk -v b="${R[baseline.cupsd.ns]}" -v bs="$baseline_window" -v s="${R[service.cupsd.ns]}" -v ss="$window" \
    -v bf="${R[before.cupsd.ns]:-}" -v r="${R[reference.reference.ns]}" -v sv="${R[service.service.ns]}" \
    -v bsv="${R[before.service.ns]:-}" -v rt="${R[reference.reference.own]}" -v svt="${R[service.service.own]}" \
    -v bsvt="${R[before.service.own]:-}" -v rc="${R[refcups.reference.ns]}" -v rcc="${R[refcups.cupsd.ns]}" 'BEGIN {
  base = 100 * b / (1e9 * bs); svc = 100 * s / (1e9 * ss)
  printf "cupsd share caused by the service: %.3f%% (service phase %.3f%% minus baseline %.3f%%)\n", svc - base, svc, base
  if (bf != "")
    printf "cupsd share caused by the earlier service: %.3f%%\n", 100 * bf / (1e9 * ss) - base
  if (r > 0) {
    printf "service CPU / reference CPU: %.1f (service %.3f%%, reference %.3f%% of one core)", sv / r, 100 * sv / (1e9 * ss), 100 * r / (1e9 * ss)
    printf "%s\n", (rt > 0 ? sprintf("; from ticks %.1f", svt / rt) : "")
    if (bsv != "") {
      printf "earlier service CPU / reference CPU: %.1f (%.3f%% of one core)", bsv / r, 100 * bsv / (1e9 * ss)
      printf "%s\n", (rt > 0 ? sprintf("; from ticks %.1f", bsvt / rt) : "")
    }
    if (rc > 0)
      printf "service CPU / reference with the scheduler polling (refcups): %.1f (%.3f%% of one core; the polls cost cupsd %.3f%%)\n", sv / rc, 100 * rc / (1e9 * ss), 100 * rcc / (1e9 * ss) - base
  } else
    printf "reference CPU: none measured in the window (ratio not defined)\n" }'
# The printing job's backend still talks to the emulated printer: it is ended before the
# simulator, which is not asked to serve a device while it quits.
if [ "$net_only" -eq 0 ]; then
  cancel -a USB1 2> /dev/null || true
  # The scheduler lists the job until its backend has exited.
  no_job() { [ -z "$(lpstat -o USB1 2> /dev/null)" ]; }
  poll_until 15 no_job ||
    echo "service-bench: the job on USB1 did not end after cancel" >&2
fi
sim_stop
