#!/usr/bin/env bash
# Every C and C++ file of the tree is laid out as .clang-format says, so the layout stays
# one and a change carries no reformatting of lines it does not touch. The files are found,
# not listed; build trees and the version-control store are skipped. To fix a file:
#   clang-format-14 -i FILE
# usage: format-check.sh [SOURCE-DIR]
set -euo pipefail
src=${1:-${ORVO_SOURCE_DIR:?}}
cd "$src"

if ! command -v clang-format-14 > /dev/null; then
  echo "FAIL: clang-format-14 is not installed (scripts/install-test-deps.sh installs it)" >&2
  exit 1
fi

files=()
while IFS= read -r -d '' f; do
  files+=("${f#./}")
done < <(find . \( -path ./.git -o -path './build*' \) -prune -o -type f \
  \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 | sort -z)

# The search must not go blind: one file of each kind it has to find.
fail=0
for known in common/base/orvo-log.cpp OrvoScanDaemon/OrvoUsb.h tests/harness/ui-text.h; do
  if [[ " ${files[*]} " != *" $known "* ]]; then
    echo "FAIL: the search did not find $known" >&2
    fail=1
  fi
done

echo "clang-format: ${#files[@]} files"
printf '%s\0' "${files[@]}" | xargs -0 -P2 -n $(( (${#files[@]} + 1) / 2 )) clang-format-14 --dry-run --Werror || fail=1
exit "$fail"
