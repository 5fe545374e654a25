#!/usr/bin/env bash
# bench/sane-bench.sh [ROUNDS | --quick]   (as root)
#
# Throughput of scanning through the SANE backend: scanimage of one 300-dpi A4 24-bit page
# (2480 x 3507, about 26 MB) through the backend and the installed scan daemon, from the
# emulated USB scanner (raw page) and from the network simulator (JPEG page, decoded by the
# backend), against the daemon alone on the same page (the local-protocol client follows
# the record replies while the daemon writes the page file), in the same run. Alternating
# rounds, best of each side. Prints the throughputs (MB of 24-bit image per second) and the
# ratio backend / daemon alone (target: at least 80 %).
# --quick: one round of a 75-dpi page (what the test suite runs).
# Builds a Release tree in build-bench (no sanitizers, see scripts/lib/orvo-build.sh).
set -euo pipefail

# shellcheck source=bench/lib/sandbox.sh
. "$(dirname "$0")/lib/sandbox.sh"
[ "${1:-}" = --inner ] || bench_sandbox --no-cups "$0" "$@"
rounds=${2:-3}
W=2480 H=3507 DPI=300
if [ "$rounds" = --quick ]; then
  rounds=1 W=620 H=876 DPI=75
fi
case "$rounds" in '' | *[!0-9]*) echo "usage: sane-bench.sh [ROUNDS | --quick]" >&2; exit 2 ;; esac

WORK=$(mktemp -d "${TMPDIR:-/tmp}/sanebench.XXXXXX")
export TMPDIR=$WORK
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
. "$ORVO_SOURCE_DIR/tests/scandaemon/scanfx.sh"
. "$ORVO_SOURCE_DIR/tests/sane/sanefx.sh"
trap 'sim_stop; rm -rf "$WORK"' EXIT
scan_sim_start "$WORK/ctl" --usb s1:K20NW:BENCH1 --net n1:K40N:127.0.0.2 > /dev/null
sim_ctl scan s1 chunk 32768 > /dev/null
scan_daemon_start

mb=$(awk -v w=$W -v h=$H 'BEGIN { printf "%.2f", w * h * 3 / 1e6 }')
now() { date +%s.%N; }

# The daemon alone: seconds from the scan start to the last record.
daemon_alone() { "$ORVO_BUILD_DIR/tests/sane/sane_bench_daemon" "$1" "$2" $W $H $DPI | awk '{ print $1 }'; }
# scanimage through the backend into a file: seconds of the whole run.
through_backend() {
  local t0 t1
  t0=$(now)
  sane_run -d "orvo:$1:$2" --mode Color --resolution $DPI -x 210 -y 297 --format=pnm -o "$WORK/page.pnm"
  t1=$(now)
  [ "$(($(stat -c %s "$WORK/page.pnm") - $(head -c 64 "$WORK/page.pnm" | head -n 3 | wc -c)))" -ge $((W * H * 3)) ] ||
    { echo "sane-bench: the scanned page is short" >&2; exit 1; }
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}
rate() { awk -v mb="$mb" -v s="$1" 'BEGIN { printf "%.2f", mb / s }'; }
best() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }

printf '%-6s %-8s %-34s %10s %10s\n' round source "" "MB/s" seconds
for kind in usb net; do
  id=BENCH1
  [ $kind = usb ] || id=127.0.0.2
  bd='' bb=''
  for ((r = 1; r <= rounds; r++)); do
    d=$(daemon_alone $kind $id)
    b=$(through_backend $kind $id)
    printf '%-6s %-8s %-34s %10s %10s\n' "$r" $kind "daemon alone (reference)" "$(rate "$d")" "$d"
    printf '%-6s %-8s %-34s %10s %10s\n' "$r" $kind "scanimage -> backend -> daemon" "$(rate "$b")" "$b"
    bd=$(best "$bd" "$d")
    bb=$(best "$bb" "$b")
  done
  eval "best_d_$kind=$bd best_b_$kind=$bb"
done
echo "page: $W x $H, 24-bit, $mb MB of image ($DPI dpi A4); USB raw, network JPEG; best of $rounds rounds"
for kind in usb net; do
  eval "d=\$best_d_$kind b=\$best_b_$kind"
  echo "$kind: backend $(rate "$b") MB/s, daemon alone $(rate "$d") MB/s:" \
    "backend / daemon alone $(awk -v d="$d" -v b="$b" 'BEGIN { printf "%.0f", 100 * d / b }')% (target: at least 80%)"
done
