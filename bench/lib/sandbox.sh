# shellcheck shell=bash
# Pieces shared by the bench/ scripts that measure the installed programs inside the test
# sandbox. Source it from the script: . "$(dirname "$0")/lib/sandbox.sh"
#   bench_build SCRIPT             as root, from outside the sandbox: builds the unsanitized
#                                  Release tree (orvo_bench_build of scripts/lib/orvo-build.sh:
#                                  build-bench of the source root by default) and sets
#                                  ORVO_SOURCE_DIR to the source root of SCRIPT
#   bench_sandbox [--no-cups] SCRIPT ARGS...
#                                  bench_build, then runs "SCRIPT --inner ARGS..." in the
#                                  sandbox, with a private cupsd unless --no-cups; does not
#                                  return
#   bench_proc PID                 prints "RSS_KB FDS THREADS" of a running process (VmRSS,
#                                  entries of /proc/PID/fd, Threads); fails when it is gone
# bench_proc reads /proc with shell builtins only, so that sampling starts no process.

bench_build() {
  [ "$(id -u)" -eq 0 ] || { echo "$(basename "$1"): run as root" >&2; exit 2; }
  ORVO_SOURCE_DIR=$(cd "$(dirname "$1")/.." && pwd)
  export ORVO_SOURCE_DIR
  # shellcheck source=scripts/lib/orvo-build.sh
  . "$ORVO_SOURCE_DIR/scripts/lib/orvo-build.sh"
  orvo_bench_build "$ORVO_SOURCE_DIR"
}

bench_sandbox() {
  local cups=(--cups)
  [ "$1" != --no-cups ] || { cups=(); shift; }
  local script=$1
  shift
  bench_build "$script"
  exec "$ORVO_SOURCE_DIR/tests/harness/orvo-sandbox" "${cups[@]}" -- \
    "$ORVO_SOURCE_DIR/bench/$(basename "$script")" --inner "$@"
}

bench_proc() {
  local key value rss='' threads='' fds
  [ -r "/proc/$1/status" ] || return 1
  while read -r key value _; do
    case "$key" in
      VmRSS:) rss=$value ;;
      Threads:) threads=$value ;;
    esac
  done < "/proc/$1/status"
  fds=("/proc/$1/fd/"*)
  [ -n "$rss" ] && [ -n "$threads" ] || return 1
  echo "$rss ${#fds[@]} $threads"
}
