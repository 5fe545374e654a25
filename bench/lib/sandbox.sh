# shellcheck shell=bash
# Pieces shared by the bench/ scripts that measure the installed programs inside the test
# sandbox. Source it from the script: . "$(dirname "$0")/lib/sandbox.sh"
#   bench_sandbox SCRIPT ARGS...   as root, from outside the sandbox: builds the unsanitized
#                                  Release tree (orvo_bench_build of scripts/lib/orvo-build.sh:
#                                  build-bench of the source root by default) and runs
#                                  "SCRIPT --inner ARGS..." in the sandbox with a private
#                                  cupsd; does not return
#   bench_proc PID                 prints "RSS_KB FDS THREADS" of a running process (VmRSS,
#                                  entries of /proc/PID/fd, Threads); fails when it is gone
# Both read /proc with shell builtins only, so that sampling starts no process.

bench_sandbox() {
  local script=$1 src
  shift
  [ "$(id -u)" -eq 0 ] || { echo "$(basename "$script"): run as root" >&2; exit 2; }
  src=$(cd "$(dirname "$script")/.." && pwd)
  # shellcheck source=scripts/lib/orvo-build.sh
  . "$src/scripts/lib/orvo-build.sh"
  orvo_bench_build "$src"
  export ORVO_SOURCE_DIR=$src
  exec "$src/tests/harness/orvo-sandbox" --cups -- "$src/bench/$(basename "$script")" --inner "$@"
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
