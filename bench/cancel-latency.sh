#!/usr/bin/env bash
# bench/cancel-latency.sh [JOBS | --quick]   (as root; default 10 jobs, --quick 2)
#
# Time from a job cancelled in CUPS while a USB printer prints it to the cancel request the
# print service sends that printer: the installed service in the test sandbox with a private
# cupsd and the device simulator (USB printer p1, K20NW AB1234). Per job: submit, wait until
# CUPS shows it printing and the service has asked the printer twice since (so its job
# monitor saw it printing), run "cancel" and read the simulator's cancel counter every
# millisecond (lib/cancel-timer.py). Prints each latency, the median and the worst, from the
# return of "cancel" (the scheduler has cancelled the job) and from its start (with the
# command's own run time, which grows with the number of queues and the machine's load).
# ORVO_BENCH_SERVICE_BEFORE=<binary>
# measures that service too, in the same run. Runs the unsanitized Release build
# ($ORVO_BUILD_DIR, default build-bench; see lib/sandbox.sh).
set -euo pipefail

# shellcheck source=bench/lib/sandbox.sh
. "$(dirname "$0")/lib/sandbox.sh"
[ "${1:-}" = --inner ] || bench_sandbox "$0" "$@"
shift
jobs=${1:-10}
[ "$jobs" != --quick ] || jobs=2
case "$jobs" in '' | *[!0-9]*) echo "usage: cancel-latency.sh [JOBS | --quick]" >&2; exit 2 ;; esac

# shellcheck source=../tests/harness/cupsfx.sh
. "$ORVO_HARNESS/cupsfx.sh"
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
ROOT=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}
SERVICE=$ROOT/bin/orvoK500Service

sim_start "$TMPDIR/sim.sock" --usb p1:K20NW:AB1234
# The private cupsd's usb backend finds no device: a job stays printing until cancelled.
cupsfx_add_queue USB1 'usb://Orvo/K20NW?serial=AB1234' K20NW
cupsfx_wait_conf USB1
echo "bench job" > "$TMPDIR/doc.txt"

requests() { sim_ctl get p1 requests; }
printing() { lpstat -l -o USB1 2> /dev/null | grep -q job-printing; }
asked_since() { [ "$(requests)" -ge "$1" ]; }

# measure NAME: the latencies of $jobs cancels with the installed service, one per line.
measure() {
  "$SERVICE" > "$TMPDIR/$1.out" 2>&1 &
  local pid=$! i job
  for (( i = 0; i < jobs; i++ )); do
    job=$(lp -d USB1 "$TMPDIR/doc.txt" | grep -oE 'USB1-[0-9]+')
    wait_until 30 printing || { echo "cancel-latency: job does not print" >&2; exit 1; }
    wait_until 30 asked_since $(( $(requests) + 2 )) || { echo "cancel-latency: printer not asked" >&2; exit 1; }
    env -u LD_PRELOAD python3 "$ORVO_SOURCE_DIR/bench/lib/cancel-timer.py" "$SIM_SOCK" p1 "$job" \
      || { echo "cancel-latency: no cancel reached the printer" >&2; exit 1; }
  done
  kill "$pid"
  wait "$pid" 2> /dev/null || true
}

report() { # NAME "FROM-START FROM-RETURN"...
  local name=$1 line start back starts=() returns=() s r
  shift
  for line in "$@"; do
    read -r start back <<< "$line"
    starts+=("$start")
    returns+=("$back")
  done
  mapfile -t s < <(printf '%s\n' "${starts[@]}" | sort -n)
  mapfile -t r < <(printf '%s\n' "${returns[@]}" | sort -n)
  printf '%-8s cancel returned (job cancelled in CUPS) -> cancel request at the printer, %d jobs (ms): %s\n' \
    "$name" "$#" "${returns[*]}"
  printf '%-8s median %d ms, worst %d ms\n' "$name" "${r[$(( ($# - 1) / 2 ))]}" "${r[$(( $# - 1 ))]}"
  printf '%-8s from the start of the cancel command: median %d ms, worst %d ms (%s)\n' "$name" \
    "${s[$(( ($# - 1) / 2 ))]}" "${s[$(( $# - 1 ))]}" "${starts[*]}"
}

if [ -n "${ORVO_BENCH_SERVICE_BEFORE:-}" ]; then
  cp "$SERVICE" "$TMPDIR/service.now"
  cp "$ORVO_BENCH_SERVICE_BEFORE" "$SERVICE"
  mapfile -t before < <(measure before)
  cp "$TMPDIR/service.now" "$SERVICE"
fi
mapfile -t after < <(measure service)
for got in "${before[@]+"${#before[@]}"}" "${#after[@]}"; do
  [ "$got" -eq "$jobs" ] || { echo "cancel-latency: $got of $jobs cancels measured" >&2; exit 1; }
done
[ -z "${ORVO_BENCH_SERVICE_BEFORE:-}" ] || report before "${before[@]}"
report service "${after[@]}"
sim_stop
