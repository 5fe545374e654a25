#!/usr/bin/env bash
# Every text of the windows has its English translation, and the catalogue holds no text the
# code no longer has: lupdate, run again over the code onto a copy of the catalogue, finds
# nothing unfinished and drops nothing.
#   ts-complete.sh LUPDATE SOURCE-DIR
set -euo pipefail
lupdate=$1 src=$2
ts=$src/translations/orvo-k500_en.ts
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/copy.ts"
bash "$src/scripts/update-translations.sh" "$lupdate" "$work/copy.ts"
fail=0
if grep -q 'type="unfinished"' "$work/copy.ts"; then
  echo "texts without an English translation (run scripts/update-translations.sh, then translate them):"
  grep -B1 'type="unfinished"' "$work/copy.ts" | grep '<source>'
  fail=1
fi
before=$(grep -c '<message' "$ts")
after=$(grep -c '<message' "$work/copy.ts")
if [ "$before" != "$after" ]; then
  echo "the catalogue holds $before texts, the code $after (run scripts/update-translations.sh)"
  fail=1
fi
[ "$fail" = 0 ] && echo "all $after texts translated"
exit "$fail"
