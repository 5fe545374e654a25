#!/usr/bin/env bash
# test-targets.sh BUILD_DIR REGEX: the build targets of the test programs that the tests
# matching REGEX (as ctest -R reads it) run, one a line: every program below BUILD_DIR named
# in such a test's command. BUILD_DIR is configured, not necessarily built; the programs the
# sandbox installs and the simulator are not listed (their part's targets build them).
set -euo pipefail
build=$(cd "${1:?usage: test-targets.sh BUILD_DIR REGEX}" && pwd)
regex=${2:?usage: test-targets.sh BUILD_DIR REGEX}

declare -A wanted=()
while read -r name; do
  wanted[$name]=1
done < <(ctest --test-dir "$build" -N -R "$regex" | sed -n 's/^ *Test *#[0-9]*: //p')
[ "${#wanted[@]}" -gt 0 ] || { echo "test-targets: no test matches $regex" >&2; exit 1; }

# ctest's files name each test's command with absolute paths: add_test(NAME "ARG" "ARG"...).
find "$build" -name CTestTestfile.cmake -print0 | xargs -0 grep -h '^add_test(' |
  while read -r line; do
    name=${line#add_test(}
    name=${name%% *}
    [ -n "${wanted[$name]:-}" ] || continue
    { grep -oE "\"$build/[^\"]+\"" <<< "$line" || true; } | tr -d '"' | xargs -r -n1 basename
  done | sort -u
