# shellcheck shell=bash
# Configuring and building a tree for the scripts and benches. Source it.
#   orvo_configure SRC BUILD CMAKE-ARGS...  configures BUILD from SRC unless it is configured
#                                           already. ccache is the compiler launcher only where
#                                           it is installed (a fresh machine has none); a tree
#                                           configured with it loses it again once it is gone.
#   orvo_bench_build SRC                    the unsanitized Release tree the benches run:
#                                           $ORVO_BENCH_BUILD, else $ORVO_BUILD_DIR, else
#                                           SRC/build-bench; configured and built. With
#                                           ORVO_BENCH_BUILT=1 (the test suite, which runs the
#                                           benches' --quick mode on its own build) it is used
#                                           as it is. Sets ORVO_BUILD_DIR to it.

orvo_configure() {
  local src=$1 build=$2 launcher=()
  shift 2
  if [ -f "$build/CMakeCache.txt" ]; then
    if ! command -v ccache > /dev/null && grep -q '^CMAKE_CXX_COMPILER_LAUNCHER:.*ccache' "$build/CMakeCache.txt"; then
      cmake -S "$src" -B "$build" -UCMAKE_C_COMPILER_LAUNCHER -UCMAKE_CXX_COMPILER_LAUNCHER > /dev/null
    fi
    return 0
  fi
  if command -v ccache > /dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$src" -B "$build" "${launcher[@]}" "$@" > /dev/null
}

orvo_bench_build() {
  local src=$1
  ORVO_BUILD_DIR=${ORVO_BENCH_BUILD:-${ORVO_BUILD_DIR:-$src/build-bench}}
  export ORVO_BUILD_DIR
  [ "${ORVO_BENCH_BUILT:-0}" != 1 ] || return 0
  orvo_configure "$src" "$ORVO_BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DORVO_SANITIZE=OFF
  cmake --build "$ORVO_BUILD_DIR" -j2 > /dev/null
}
