#!/usr/bin/env bash
# bench-quick.sh BENCH: runs bench/BENCH.sh --quick as on a fresh machine: from a fresh copy
# of the source tree (what a clone holds: the tracked and the new, not ignored files; no build
# folder) and with ccache hidden by an overlay over /usr/bin in a private mount namespace.
# The bench runs on the suite's own build ($ORVO_BUILD_DIR, ORVO_BENCH_BUILT=1).
# bench-quick.sh --configure: the step the benches configure a build with
# (scripts/lib/orvo-build.sh), on a fresh build folder without ccache: no compiler launcher,
# and a library of the tree compiles.
set -euo pipefail
what=${1:?usage: bench-quick.sh BENCH | --configure}
src=${ORVO_SOURCE_DIR:?}
work=$(mktemp -d "${TMPDIR:-/tmp}/bench-quick.XXXXXX")
trap 'rm -rf "$work"' EXIT

mkdir "$work/src"
if git -C "$src" rev-parse --git-dir > /dev/null 2>&1; then
  # Tracked files deleted in the working tree are left out.
  (cd "$src" && git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do if [ -e "$f" ]; then printf '%s\0' "$f"; fi; done |
    xargs -0 -r cp --parents -a -t "$work/src")
  [ -f "$work/src/CMakeLists.txt" ] || { echo "bench-quick: copying the tree failed" >&2; exit 1; }
else
  tar -C "$src" --exclude='./build*' -cf - . | tar -C "$work/src" -xf -
fi
[ -z "$(find "$work/src" -maxdepth 1 -name 'build*')" ] || { echo "bench-quick: a build folder was copied" >&2; exit 1; }

# The rest runs with ccache hidden: a whiteout over /usr/bin/ccache (and /usr/local/bin's).
export BQ_WHAT=$what BQ_WORK=$work
# shellcheck disable=SC2016 # expanded by the inner shell
exec unshare -m --propagation private bash -c '
  set -euo pipefail
  for d in /usr/bin /usr/local/bin; do
    [ -e "$d/ccache" ] || continue
    o=$BQ_WORK/ovl${d//\//_}
    mkdir -p "$o"
    mount -t tmpfs t "$o"
    mkdir "$o/up" "$o/work"
    mknod "$o/up/ccache" c 0 0
    mount -t overlay overlay -o "lowerdir=$d,upperdir=$o/up,workdir=$o/work" "$d"
  done
  hash -r
  if command -v ccache > /dev/null; then echo "bench-quick: ccache is still visible" >&2; exit 1; fi
  cd "$BQ_WORK/src"
  if [ "$BQ_WHAT" = --configure ]; then
    . scripts/lib/orvo-build.sh
    orvo_configure "$PWD" "$BQ_WORK/build" -DCMAKE_BUILD_TYPE=Release
    if grep -E "^CMAKE_(C|CXX)_COMPILER_LAUNCHER:.*=.+" "$BQ_WORK/build/CMakeCache.txt"; then
      echo "bench-quick: a compiler launcher was configured without ccache" >&2
      exit 1
    fi
    cmake --build "$BQ_WORK/build" --target orvo_devices_plain -j2 > "$BQ_WORK/build.log" 2>&1 ||
      { cat "$BQ_WORK/build.log" >&2; exit 1; }
    echo "configured and compiled without ccache"
    exit 0
  fi
  export ORVO_BENCH_BUILT=1
  bench=bench/$BQ_WHAT.sh
  [ -f "$bench" ] || { echo "bench-quick: no $bench" >&2; exit 1; }
  start=$(date +%s%N)
  bash "$bench" --quick
  echo "bench-quick: $bench --quick took $(( ($(date +%s%N) - start) / 1000000 )) ms"
'
