#!/usr/bin/env bash
# bench/fw-stream.sh [--mib N] [--runs N] [--quick]   (as root)
#
# The firmware updater's stream against a plain libusb loop, inside the test sandbox with
# the device simulator playing a K40N printer on the emulated USB bus. A random image of
# N MiB (default 64) goes to the printer's bulk OUT endpoint
#   updater  through the updater's own path (the window's file check, then FWUpdateTask)
#   plain    through a plain libusb loop writing the same 1 MiB chunks to the same endpoint
# alternately, --runs times each (default 3); every run's bytes are checked on the printer's
# side by their SHA-256. Figures: the median throughput of each and their ratio (target:
# updater at least 90% of plain), and the peak RSS (VmHWM) of each process beside the peak
# before the image was read: the updater holds the image once, as the plain loop does.
# Both time the whole exchange: finding the printer, claiming it, streaming, releasing.
# --quick: 2 MiB, one run each (what the test suite runs).
# Builds a Release tree in build-bench (no sanitizers, see scripts/lib/orvo-build.sh).
set -euo pipefail

# shellcheck source=bench/lib/sandbox.sh
. "$(dirname "$0")/lib/sandbox.sh"
[ "${1:-}" = --inner ] || bench_sandbox --no-cups "$0" "$@"
shift

mib=64
runs=3
while [ "$#" -gt 0 ]; do
  case "$1" in
    --mib) mib=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --quick) mib=2; runs=1; shift ;;
    *) echo "fw-stream: unknown option $1" >&2; exit 2 ;;
  esac
done

export ORVO_MFPSIM=$ORVO_BUILD_DIR/tests/sim/orvo-mfpsim QT_QPA_PLATFORM=offscreen
. "$ORVO_SOURCE_DIR/tests/sim/simfx.sh"
bench=$ORVO_BUILD_DIR/tests/fwupdate/bench_fw_stream
image=$TMPDIR/image.fls
head -c "$((mib * 1048576))" /dev/urandom > "$image"
want=$(sha256sum "$image" | cut -d' ' -f1)
sim_start "$TMPDIR/sim.sock" --usb p1:K40N:FW0001 || exit 1
trap sim_stop EXIT

declare -A secs rss base
for ((i = 1; i <= runs; i++)); do
  for path in updater plain; do
    sim_ctl clear p1
    read -r s r b < <("$bench" "$path" "$image")
    got=$(sim_ctl stream p1 attempts)
    { [ "$(wc -l <<< "$got")" = 1 ] && [ "$(cut -d' ' -f1,3 <<< "$got")" = "$((mib * 1048576)) $want" ]; } ||
      { echo "fw-stream: $path run $i: the printer did not get the image ($got)" >&2; exit 1; }
    secs[$path]+="$s "
    rss[$path]=$r
    base[$path]=$b
  done
done

median() { tr ' ' '\n' <<< "$1" | grep . | sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
up=$(median "${secs[updater]}")
pl=$(median "${secs[plain]}")
echo "firmware stream of $mib MiB to the emulated printer, median of $runs runs each"
printf '%-10s %10s %12s %16s %18s\n' path seconds 'MiB/s' 'peak RSS MiB' 'before image MiB'
for path in updater plain; do
  s=$(median "${secs[$path]}")
  awk -v p="$path" -v s="$s" -v m="$mib" -v r="${rss[$path]}" -v b="${base[$path]}" \
    'BEGIN { printf "%-10s %10.3f %12.1f %16.1f %18.1f\n", p, s, m / s, r / 1024, b / 1024 }'
done
awk -v u="$up" -v p="$pl" 'BEGIN { printf "ratio updater/plain throughput: %.2f (target >= 0.90)\n", p / u }'
echo "all runs: updater ${secs[updater]}| plain ${secs[plain]}"
