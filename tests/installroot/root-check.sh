#!/usr/bin/env bash
# root-check.sh SOURCE_DIR BUILD_DIR ROOT_CHECK WORK_DIR
# The install root comes from one CMake definition: this build's programs and generated
# files carry the root it was configured with, and a second build configured with another
# root (only its path check program is built) carries that one and nothing of the first.
set -uo pipefail
src=$1 build=$2 root_check=$3 work=$4
. "$src/tests/harness/cupsfx.sh"

# templates: every *.in file of the source tree that names the root.
mapfile -t templates < <(cd "$src" && find . \( -path './build*' -o -path './obj-*' -o -path ./.git \) -prune -o \
  -name '*.in' -print | sed 's#^\./##' | sort)

# generated BUILD ROOT: each template's file in BUILD names ROOT and has nothing left to fill.
# shellcheck disable=SC2317 # run through check
generated() {
  local b=$1 r=$2 t out bad=0
  for t in "${templates[@]}"; do
    out=$b/${t%.in}
    if [ ! -f "$out" ] || grep -q "@ORVO_INSTALL_ROOT@" "$out" || ! grep -qF "$r" "$out"; then
      echo "  $out: missing, unfilled or without $r" >&2
      bad=1
    fi
  done
  return "$bad"
}

# paths ROOT_CHECK ROOT: the paths the shared code builds, all below ROOT.
# shellcheck disable=SC2317 # run through check
paths() {
  printf 'root %s/\nstatus %s/cfg/Q.dat\nbin %s/bin/\nscan %s/scan\n' "$2" "$2" "$2" "$2" > "$work/want"
  "$1" > "$work/got" && diff -u "$work/want" "$work/got" >&2
}

root=$(sed -n 's/^ORVO_INSTALL_ROOT=//p' "$build/orvo-root.env")
mkdir -p "$work"
check_match "this build names its root in orvo-root.env" '^/' "$root"
check "templates found" test "${#templates[@]}" -ge 10
check "the shared code builds its paths from $root" paths "$root_check" "$root"
check "every template of this build filled with $root" generated "$build" "$root"
check "install prefix follows the root" grep -qx "CMAKE_INSTALL_PREFIX:PATH=$root" "$build/CMakeCache.txt"
# debian/clean removes what the package build copies into debian/.
for t in "${templates[@]}"; do
  case "$t" in debian/*) check "debian/clean lists ${t%.in}" grep -qx "${t%.in}" "$src/debian/clean" ;; esac
done

other=/opt/test-root
launcher=()
[ -z "${ORVO_CXX_LAUNCHER:-}" ] || launcher=(-DCMAKE_C_COMPILER_LAUNCHER="$ORVO_CXX_LAUNCHER" -DCMAKE_CXX_COMPILER_LAUNCHER="$ORVO_CXX_LAUNCHER")
rm -rf "$work/build"
if cmake -S "$src" -B "$work/build" -DORVO_INSTALL_ROOT=$other -DCMAKE_BUILD_TYPE=Debug "${launcher[@]}" \
     > "$work/configure.log" 2>&1; then
  check "second build configured with $other" true
  check "its check program built" sh -c "cmake --build '$work/build' --target orvo_root_check > '$work/build.log' 2>&1"
  check "its shared code builds its paths from $other" paths "$work/build/tests/installroot/orvo_root_check" "$other"
  check "every template of it filled with $other" generated "$work/build" "$other"
  made=("$work/build/orvo-root.env")
  for t in "${templates[@]}"; do made+=("$work/build/${t%.in}"); done
  check_eq "nothing of it names $root" "" "$(grep -lF "$root" "${made[@]}" 2> /dev/null)"
else
  check "second build configured with $other" false
  tail -n 30 "$work/configure.log"
fi
# shellcheck disable=SC2317 # run through check_fails
configure_bad() { cmake -S "$src" -B "$work/bad" -DORVO_INSTALL_ROOT="$1" > /dev/null 2>&1; }
for bad in relative/root /opt/trailing/ "/opt/with space"; do
  check_fails "a root '$bad' is refused" configure_bad "$bad"
  rm -rf "$work/bad"
done
finish
