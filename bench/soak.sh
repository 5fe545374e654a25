#!/usr/bin/env bash
# bench/soak.sh [--minutes N] [--warmup M] [--quick]   (as root, from anywhere)
#
# Soak run of the installed print service and tray tool (offscreen) inside the test sandbox,
# with a private cupsd and the device simulator, for N minutes (default 30) of compressed
# churn. Devices: USB p1 (K20NW AB1234) and p2 (K40W EF9012), network n1 (K40N 127.0.0.2)
# and n2 (K20W 127.0.0.3). Queues USB1 (p1) and NET1 (n1) stay; USB2 (p2) and NET2 (n2)
# come and go. One churn cycle, a step every c_step seconds:
#   1  USB2 and NET2 added; p2 printing, n2 with an error, new ink levels on p1
#   2  p1 unplugged, n1 silent; p2 with a warning
#   3  p1 plugged back, n1 answering; every status back to ready
#      -> sample "4 queues" once the printer list shows four
#   4  USB2 and NET2 removed; new ink levels on p1
#      -> sample "2 queues" once the printer list shows two
# A sample is VmRSS, open file descriptors and threads of the service and of the tool, each
# the least of five readings within a second (see least()).
# After the warm-up (default 5 minutes, at most a third of the run) it prints, per process
# and figure, min / max and, per phase, the range and the drift (last minus first sample),
# and the verdict: PASS when each process's RSS stays within 2 MB (all samples) and its
# descriptors and threads do not grow: in each phase, the highest value of the last third
# of the samples is no higher than the highest of the first third. (A status worker's
# connection to the scheduler is closed after a reply that came too late and opened again
# with its next request, so one descriptor may be missing from a sample; a leak only adds.)
# "constant" or "varies" is shown beside each.
# --quick: one churn cycle of 1-second steps without warm-up (what the test suite runs); its
# verdict is printed but does not decide the exit status: two samples show no trend.
# Runs the unsanitized Release build ($ORVO_BUILD_DIR, default build-bench; see lib/sandbox.sh).
set -euo pipefail
# shellcheck source=bench/lib/sandbox.sh
. "$(dirname "$0")/lib/sandbox.sh"
[ "${1:-}" = --inner ] || bench_sandbox "$0" "$@"
shift

minutes=30
warmup=5
quick=0
c_step=6
while [ "$#" -gt 0 ]; do
  case "$1" in
    --minutes) minutes=$2; shift 2 ;;
    --warmup) warmup=$2; shift 2 ;;
    --quick) quick=1; minutes=1; warmup=0; c_step=1; shift ;;
    *) echo "soak: unknown option $1" >&2; exit 2 ;;
  esac
done
(( warmup * 3 <= minutes )) || warmup=$(( minutes / 3 ))

# shellcheck source=../tests/harness/cupsfx.sh
. "$ORVO_HARNESS/cupsfx.sh"
# shellcheck source=../tests/sim/simfx.sh
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
ROOT=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}
WORK=$TMPDIR/soak
SAMPLES=$WORK/samples
mkdir -p "$WORK"

sim_start "$TMPDIR/sim.sock" --usb p1:K20NW:AB1234 --usb p2:K40W:EF9012 \
  --net n1:K40N:127.0.0.2 --net n2:K20W:127.0.0.3
cupsfx_add_queue USB1 'usb://Orvo/K20NW?serial=AB1234' K20NW
cupsfx_add_queue NET1 'socket://127.0.0.2:9100/?snmp=false' K40N
cupsfx_wait_conf NET1

"$ROOT/bin/orvoK500Service" > "$WORK/service.out" 2>&1 &
service=$!
env -u LD_PRELOAD -u UMOCKDEV_DIR QT_QPA_PLATFORM=offscreen "$ROOT/bin/orvoK500Tool" -hide > "$WORK/tool.out" 2>&1 &
tool=$!
# Opened after the programs started, so that they do not inherit it.
mkfifo "$WORK/clock"
exec {clock}<> "$WORK/clock"
pause() { read -r -t "$1" -u "$clock" _ || true; }

listed() { grep -qx "Count=$1" "$ROOT/cfg/printerlist.ini" 2> /dev/null; }
queues_up() {
  cupsfx_add_queue USB2 'usb://Orvo/K40W?serial=EF9012' K40W
  cupsfx_add_queue NET2 'socket://127.0.0.3:9100/?snmp=false' K20W
}
queues_down() {
  cupsfx_del_queue USB2
  cupsfx_del_queue NET2
}
ink() { sim_ctl set ink p1 $(( 20 + $1 % 70 )) $(( 90 - $1 % 70 )) 45 $(( 10 + $1 % 5 )) > /dev/null; }

# least PID: each figure's least of five readings 0.2 s apart. A status query in flight holds
# a USB context (a thread and a few descriptors) for a moment; a leaked one is in every reading.
least() {
  local i r f n rss fds threads
  local -a m=()
  for (( i = 0; i < 5; ++i )); do
    (( i == 0 )) || pause 0.2
    r=$(bench_proc "$1") || return 1
    read -r rss fds threads <<< "$r"
    f=0
    for n in "$rss" "$fds" "$threads"; do
      [ -n "${m[f]:-}" ] && (( m[f] <= n )) || m[f]=$n
      f=$(( f + 1 ))
    done
  done
  echo "${m[*]}"
}

# sample PHASE QUEUES: once the printer list shows QUEUES printers (the service has taken
# the change in; the tool follows the same file), one line per sample.
sample() {
  local s t
  wait_until 30 listed "$2" || echo "soak: the printer list does not show $2 printers (phase $1)" >&2
  s=$(least "$service") || { echo "soak: the service has ended" >&2; return 1; }
  t=$(least "$tool") || { echo "soak: the tool has ended" >&2; return 1; }
  printf '%d %s %s %s\n' $(( SECONDS - start )) "$1" "$s" "$t" | tee -a "$SAMPLES"
}

echo "soak: $minutes min, warm-up $warmup min; columns: seconds phase service(RSS kB fds threads) tool(RSS kB fds threads)"
: > "$SAMPLES"
start=$SECONDS
cycle=0
while (( SECONDS - start < minutes * 60 )) && (( quick == 0 || cycle < 1 )); do
  cycle=$(( cycle + 1 ))
  queues_up
  sim_ctl set status p2 16 > /dev/null
  sim_ctl set errors n2 0x6151 > /dev/null
  ink "$cycle"
  pause "$c_step"
  sim_ctl unplug p1 > /dev/null
  sim_ctl net n1 silent on > /dev/null
  sim_ctl set warnings p2 0x6160 > /dev/null
  pause "$c_step"
  sim_ctl plug p1 > /dev/null
  sim_ctl net n1 silent off > /dev/null
  sim_ctl set status p2 0 > /dev/null
  sim_ctl set errors n2 > /dev/null
  sim_ctl set warnings p2 > /dev/null
  sample queues4 4
  pause "$c_step"
  queues_down
  ink $(( cycle + 35 ))
  sample queues2 2
  pause "$c_step"
done

kill "$tool" "$service" 2> /dev/null || true
wait "$tool" "$service" 2> /dev/null || true
sim_stop

echo
echo "soak: $cycle churn cycles in $(( (SECONDS - start) / 60 )) min; figures after the $warmup min warm-up"
awk -v from=$(( warmup * 60 )) -v quick="$quick" '
$1 >= from {
  for (p = 0; p < 2; ++p)
    for (f = 0; f < 3; ++f) {
      v = $(3 + 3 * p + f); k = p SUBSEP f; kp = p SUBSEP f SUBSEP $2
      if (!(k in min) || v < min[k]) min[k] = v
      if (!(k in max) || v > max[k]) max[k] = v
      if (!(kp in first)) first[kp] = v
      last[kp] = v
      seq[kp, ++cnt[kp]] = v
      if (!(kp in pmin) || v < pmin[kp]) pmin[kp] = v
      if (!(kp in pmax) || v > pmax[kp]) pmax[kp] = v
    }
  phases[$2] = 1; n++
}
END {
  if (n == 0) { print "soak: no samples after the warm-up"; exit 1 }
  split("service tool", proc, " "); split("RSS_kB fds threads", fig, " ")
  verdict = "PASS"
  for (p = 0; p < 2; ++p) {
    for (f = 0; f < 3; ++f) {
      k = p SUBSEP f
      line = sprintf("  %-8s %-8s min %7d  max %7d", proc[p + 1], fig[f + 1], min[k], max[k])
      for (ph in phases)
        line = line sprintf("  | %s: %d..%d drift %+d", ph, pmin[k SUBSEP ph], pmax[k SUBSEP ph], last[k SUBSEP ph] - first[k SUBSEP ph])
      bad = ""
      if (f == 0 && max[k] - min[k] > 2048) bad = "  FAIL (more than 2 MB)"
      if (f > 0) {
        note = "  constant"
        for (ph in phases) {
          kp = k SUBSEP ph; third = int((cnt[kp] + 2) / 3); early = -1; late = -1
          for (i = 1; i <= third; ++i) if (seq[kp, i] > early) early = seq[kp, i]
          for (i = cnt[kp] - third + 1; i <= cnt[kp]; ++i) if (seq[kp, i] > late) late = seq[kp, i]
          if (pmax[kp] != pmin[kp]) note = "  varies"
          if (late > early) bad = "  FAIL (grows in " ph ": " early " -> " late ")"
        }
        line = line note
      }
      if (bad != "") verdict = "FAIL"
      print line bad
    }
  }
  printf "soak: %d samples after the warm-up: %s%s\n", n, verdict, quick ? " (quick run: not binding)" : ""
  exit verdict == "PASS" || quick ? 0 : 1
}' "$SAMPLES"
