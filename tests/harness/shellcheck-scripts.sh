#!/usr/bin/env bash
# Every shell script of the tree passes shellcheck at its default severity. The scripts are
# found, not listed, so a new one is checked from its first commit: a file named *.sh, a file
# whose first line starts a shell, or a sourced fixture that names its shell to shellcheck.
# Build trees and the version-control store are skipped.
# usage: shellcheck-scripts.sh [SOURCE-DIR]
set -euo pipefail
src=${1:-${ORVO_SOURCE_DIR:?}}
cd "$src"

if ! command -v shellcheck > /dev/null; then
  echo "FAIL: shellcheck is not installed (scripts/install-test-deps.sh installs it)" >&2
  exit 1
fi

is_shell_script() {
  local first
  case $1 in *.sh) return 0 ;; esac
  # Only the first line counts; tr keeps binary files from upsetting read.
  first=$(head -c 200 "$1" | tr -d '\0' | head -n 1)
  [[ $first =~ ^\#!.*(/|env[[:space:]]+)(ba|da)?sh([[:space:]]|$) ]] ||
    [[ $first =~ ^\#[[:space:]]*shellcheck[[:space:]]+shell= ]]
}

scripts=()
while IFS= read -r -d '' f; do
  if is_shell_script "$f"; then
    scripts+=("${f#./}")
  fi
done < <(find . \( -path ./.git -o -path './build*' \) -prune -o -type f -print0 | sort -z)

# The search itself must not go blind: these are scripts of every kind it has to find.
fail=0
for known in scripts/test.sh .ci/run tests/harness/orvo-sandbox tests/harness/cupsfx.sh \
  tests/harness/backend/orvok500socket debian/orvo-printer-k500.postinst bench/service-bench.sh; do
  if [[ " ${scripts[*]} " != *" $known "* ]]; then
    echo "FAIL: the search did not find $known" >&2
    fail=1
  fi
done

echo "shellcheck: ${#scripts[@]} scripts"
# -x follows sourced files; .shellcheckrc tells it to look beside each script. Two halves
# checked side by side, one per core.
printf '%s\0' "${scripts[@]}" | xargs -0 -P2 -n $(( (${#scripts[@]} + 1) / 2 )) shellcheck -x || fail=1
exit "$fail"
