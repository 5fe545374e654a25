#!/usr/bin/env bash
# bench/scale-bench.sh [--quick] [--seconds S] [--sizes "N..."] [--states "busy ready"]
#                      [--cancel JOBS] [--tool]                        (as root)
#
# The print service with many network printers, beside the least work they need, inside the
# test sandbox with a private cupsd (its default client limit) and one simulator answering
# for every printer on its own loopback address. For each N and each state of the printers
# ("busy": printing, asked every second; "ready": idle, not asked), measured over the same
# window after a warm-up:
#   reference  bench/least-work: the device exchanges the service must make (one UDP
#              exchange per busy printer every second, none for ready ones) plus the job
#              monitor's need of the scheduler (one subscription, one Get-Notifications
#              every 250 ms on one connection)
#   before     when ORVO_BENCH_SERVICE_BEFORE names another service binary (an earlier
#              build), that one, installed in the service's place, for before/after figures
#   service    the installed service
# Figures: CPU of each and of cupsd while it runs (run time of every thread from schedstat),
# the service's peak RSS and threads, its connections to the scheduler (from ss, counted on
# the scheduler's side), "Max clients reached" lines of the scheduler's log, status files.
# --cancel JOBS: with the largest N busy and one USB printer more (emulated) with a job
#   printing, the time from a cancel in CUPS to the cancel request at that printer: from the
#   return of "cancel" (the scheduler has cancelled the job) and from its start
#   (lib/cancel-timer.py).
# --tool: the tray tool with 250 rows (tests/tool/bench_tool_latency): status file -> row
#   latency, idle CPU and threads.
# ORVO_BENCH_PERF=DIR: a call-graph profile of the service (perf record) over each of its
#   windows, into DIR/perf-N-STATE.data (perf's own work then counts in the figures).
# --quick: N = 8 and 64, 1 s windows after 1 s warm-ups, busy and ready; the suite runs it
#   so, and it fails only when the service stops serving (status files missing once the
#   service had time to write them, more than 2 connections, the scheduler holding
#   connections), not on figures, which a sanitized build distorts.
# Default: N = 8, 128, 250, 40 s windows. Runs the unsanitized Release build
# ($ORVO_BUILD_DIR, default build-bench; see lib/sandbox.sh).
set -euo pipefail

# shellcheck source=bench/lib/sandbox.sh
. "$(dirname "$0")/lib/sandbox.sh"
[ "${1:-}" = --inner ] || bench_sandbox "$0" "$@"
shift

sizes="8 128 250"
states="busy ready"
window=40
warmup=8
quick=0
cancel_jobs=0
tool=0
latencies=()
started=()
while [ "$#" -gt 0 ]; do
  case "$1" in
    --quick) quick=1; sizes="8 64"; window=1; warmup=1; shift ;;
    --seconds) window=$2; shift 2 ;;
    --sizes) sizes=$2; shift 2 ;;
    --states) states=$2; shift 2 ;;
    --cancel) cancel_jobs=$2; shift 2 ;;
    --tool) tool=1; shift ;;
    *) echo "scale-bench: unknown option $1" >&2; exit 2 ;;
  esac
done

# shellcheck source=../tests/harness/cupsfx.sh
. "$ORVO_HARNESS/cupsfx.sh"
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
ROOT=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}
SERVICE=$ROOT/bin/orvoK500Service
LEAST=$ORVO_BUILD_DIR/bench/least-work
CUPSLOG=/var/log/cups/error_log
largest=0
for n in $sizes; do [ "$n" -le "$largest" ] || largest=$n; done

# Printer i (1-based) answers on its own loopback address.
addr() { local i=$1; echo "127.1.$(( i / 200 )).$(( 1 + i % 200 ))"; }
sim_args=()
for (( i = 1; i <= largest; i++ )); do sim_args+=(--net "n$i:K40N:$(addr "$i")"); done
[ "$cancel_jobs" -eq 0 ] || sim_args+=(--usb p1:K20NW:AB1234)
sim_start "$TMPDIR/sim.sock" "${sim_args[@]}"
# Only the cancel measure runs anything under the USB emulation.
unset LD_PRELOAD

set_state() { # busy|ready: the status every printer reports
  local code i
  code=$([ "$1" = busy ] && echo 16 || echo 0)
  for (( i = 1; i <= largest; i++ )); do echo "set status n$i $code"; done | sim_batch > /dev/null
}
queues=0
add_queues() { # up to N queues NET1..NETN
  while [ "$queues" -lt "$1" ]; do
    queues=$(( queues + 1 ))
    cupsfx_add_queue "NET$queues" "socket://$(addr "$queues"):9100/?snmp=false" K40N
  done
  cupsfx_wait_conf "NET$1"
}

# ---- measuring (builtins only inside a window) ----------------------------------------
# shellcheck source=bench/lib/proc.sh
. "$ORVO_SOURCE_DIR/bench/lib/proc.sh"
mkfifo "$TMPDIR/clock"
exec {clock}<> "$TMPDIR/clock"
pause() { read -r -t "$1" -u "$clock" _ || true; }
max_clients() { grep -c "Max clients reached" "$CUPSLOG" 2> /dev/null || true; }
pct() { awk -v ns="$1" -v s="$window" 'BEGIN { printf "%.3f", 100 * ns / (1e9 * s) }'; }

declare -A R
# measure KEY PID: CPU of PID and of cupsd over one window after the warm-up.
measure() {
  local key=$1 pid=$2 p0 c0
  pause "$warmup"
  R[$key.links0]=$(cupsfx_client_links "$pid")
  p0=$(runtime_ns "$pid")
  c0=$(runtime_ns "$CUPSFX_PID")
  if [ -n "${ORVO_BENCH_PERF:-}" ] && [ "${key##*.}" = svc ]; then
    local k=${key%.svc}
    perf record -q --call-graph dwarf,16384 -p "$pid" -o "$ORVO_BENCH_PERF/perf-${k/./-}.data" -- sleep "$window" > /dev/null 2>&1 &
  fi
  pause "$window"
  R[$key.cpu]=$(pct $(( $(runtime_ns "$pid") - p0 )))
  R[$key.cupsd]=$(pct $(( $(runtime_ns "$CUPSFX_PID") - c0 )))
  R[$key.links1]=$(cupsfx_client_links "$pid")
  R[$key.rss]=$(status_of "$pid" VmHWM)
  R[$key.threads]=$(status_of "$pid" Threads)
}
stop() { kill "$1" 2> /dev/null || true; wait "$1" 2> /dev/null || true; }

dat_count() { find "$ROOT/cfg" -maxdepth 1 -name 'NET*.dat' | wc -l; }
dat_files() { [ "$(dat_count)" -ge "$1" ]; }
# run_service KEY PHASE: the installed service through one window.
run_service() {
  local key=$1.$2 svc held
  rm -f "$ROOT"/cfg/*.dat
  held=$(max_clients)
  "$SERVICE" > "$TMPDIR/service-$2.out" 2>&1 &
  svc=$!
  measure "$key" "$svc"
  # A quick run's window is too short to say that a missing file will not come.
  [ "$quick" -eq 0 ] || wait_until 60 dat_files "${key%%.*}" || true
  R[$key.dat]=$(dat_count)
  R[$key.held]=$(( $(max_clients) - held ))
  [ -d "/proc/$svc" ] || fail "$key: the service ended"
  stop "$svc"
}

failures=0
fail() { echo "scale-bench: $*" >&2; failures=$(( failures + 1 )); }

for n in $sizes; do
  add_queues "$n"
  for state in $states; do
    set_state "$state"
    ref_args=(--cups-poll)
    if [ "$state" = busy ]; then
      for (( i = 1; i <= n; i++ )); do ref_args+=(--net "$(addr "$i")"); done
    fi
    "$LEAST" "${ref_args[@]}" > "$TMPDIR/least.out" 2>&1 &
    ref=$!
    measure "$n.$state.ref" "$ref"
    stop "$ref"

    if [ -n "${ORVO_BENCH_SERVICE_BEFORE:-}" ]; then
      cp "$SERVICE" "$TMPDIR/service.now"
      cp "$ORVO_BENCH_SERVICE_BEFORE" "$SERVICE"
      run_service "$n.$state" bef
      cp "$TMPDIR/service.now" "$SERVICE"
    fi
    run_service "$n.$state" svc
    [ "${R[$n.$state.svc.dat]}" -eq "$n" ] || fail "N=$n $state: ${R[$n.$state.svc.dat]} of $n status files"
    for l in links0 links1; do
      [ "${R[$n.$state.svc.$l]}" -le 2 ] || fail "N=$n $state: ${R[$n.$state.svc.$l]} scheduler connections"
    done
    [ "${R[$n.$state.svc.held]}" -eq 0 ] || fail "N=$n $state: the scheduler logged \"Max clients reached\""
  done
done

# ---- cancel latency with the largest N -------------------------------------------------
if [ "$cancel_jobs" -gt 0 ]; then
  set_state busy
  cupsfx_add_queue USB1 'usb://Orvo/K20NW?serial=AB1234' K20NW
  cupsfx_wait_conf USB1
  echo "bench job" > "$TMPDIR/doc.txt"
  requests() { sim_ctl get p1 requests; }
  printing() { lpstat -l -o USB1 2> /dev/null | grep -q job-printing; }
  asked_since() { [ "$(requests)" -ge "$1" ]; }
  LD_PRELOAD=libumockdev-preload.so.0 "$SERVICE" > "$TMPDIR/service-cancel.out" 2>&1 &
  svc=$!
  latencies=()
  started=()
  for (( j = 0; j < cancel_jobs; j++ )); do
    job=$(lp -d USB1 "$TMPDIR/doc.txt" | grep -oE 'USB1-[0-9]+')
    wait_until 60 printing || { fail "cancel: the job does not print"; break; }
    wait_until 60 asked_since $(( $(requests) + 2 )) || { fail "cancel: the printer is not asked"; break; }
    got=$(env -u LD_PRELOAD python3 "$ORVO_SOURCE_DIR/bench/lib/cancel-timer.py" "$SIM_SOCK" p1 "$job") \
      || { fail "cancel: no cancel reached the printer"; break; }
    latencies+=("${got#* }")
    started+=("${got% *}")
  done
  stop "$svc"
fi

# ---- tray tool with 250 rows -------------------------------------------------------------
if [ "$tool" -eq 1 ]; then
  QT_QPA_PLATFORM=offscreen "$ORVO_BUILD_DIR/tests/tool/bench_tool_latency" file 20 250 "$window" \
    > "$TMPDIR/tool.out" 2>&1 || fail "tool: $(tail -1 "$TMPDIR/tool.out")"
fi
sim_stop

# ---- report ------------------------------------------------------------------------------
echo
echo "scale benchmark: N network printers (K40N, one simulator), private cupsd with its default client limit"
echo "commit $(git -C "$ORVO_SOURCE_DIR" rev-parse --short HEAD 2> /dev/null || echo unknown), build $ORVO_BUILD_DIR, ${window} s windows, load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '| N, state | program | CPU | cupsd meanwhile | ÷ reference | cupsd ÷ reference'"'"'s | peak RSS | threads | scheduler connections | "Max clients" | status files |\n'
printf '|---|---|---|---|---|---|---|---|---|---|---|\n'
phases="ref${ORVO_BENCH_SERVICE_BEFORE:+ bef} svc"
for n in $sizes; do
  for state in $states; do
    for ph in $phases; do
      k=$n.$state
      awk -v k="$n, $state" -v ph="$ph" -v s="${R[$k.$ph.cpu]}" -v sc="${R[$k.$ph.cupsd]}" -v r="${R[$k.ref.cpu]}" \
          -v rc="${R[$k.ref.cupsd]}" -v rss="${R[$k.$ph.rss]}" -v th="${R[$k.$ph.threads]}" \
          -v l="${R[$k.$ph.links0]}/${R[$k.$ph.links1]}" -v h="${R[$k.$ph.held]:--}" -v d="${R[$k.$ph.dat]:--}" 'BEGIN {
        name = ph == "ref" ? "reference" : ph == "bef" ? "before" : "service"
        printf "| %s | %s | %.3f %% | %.3f %% | %s | %s | %.1f MB | %d | %s | %s | %s |\n", k, name, s, sc,
          (r > 0 ? sprintf("%.1f×", s / r) : "-"), (rc > 0 ? sprintf("%.1f×", sc / rc) : "-"), rss / 1024, th, l, h, d }'
    done
  done
done
for state in $states; do
  first=${sizes%% *}
  [ "$first" != "$largest" ] || continue
  awk -v s="$state" -v a="${R[$first.$state.svc.cpu]}" -v na="$first" -v b="${R[$largest.$state.svc.cpu]}" -v nb="$largest" 'BEGIN {
    if (a > 0) printf "%s: service CPU per printer at %d / at %d: %.2f\n", s, nb, na, (b / nb) / (a / na) }'
done
if [ "${#latencies[@]}" -gt 0 ]; then
  mapfile -t sorted < <(printf '%s\n' "${latencies[@]}" | sort -n)
  mapfile -t from_start < <(printf '%s\n' "${started[@]}" | sort -n)
  echo "cancel returned (job cancelled in CUPS) -> cancel request at the printer, N=$largest busy + 1 USB, ${#sorted[@]} jobs (ms): ${latencies[*]}"
  echo "cancel latency: median ${sorted[$(( (${#sorted[@]} - 1) / 2 ))]} ms, worst ${sorted[$(( ${#sorted[@]} - 1 ))]} ms"
  echo "from the start of the cancel command: median ${from_start[$(( (${#from_start[@]} - 1) / 2 ))]} ms, worst ${from_start[$(( ${#from_start[@]} - 1 ))]} ms (${started[*]})"
fi
[ "$tool" -eq 0 ] || tail -2 "$TMPDIR/tool.out"
[ "$failures" -eq 0 ] || { echo "scale-bench: $failures failures" >&2; exit 1; }
[ "$quick" -eq 0 ] || echo "scale-bench: quick run passed"
