#!/usr/bin/env bash
# Without a scheduler the listing is empty: nothing is removed and the status is still 0.
# shellcheck source=../harness/cupsfx.sh
. "$ORVO_HARNESS/cupsfx.sh"
ROOT=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}
rm -rf "$ROOT/temp"
rc=0
"$ROOT/bin/orvoK500Remover" || rc=$?
check_eq "exit status" 0 "$rc"
check_fails "no scheduler answers" lpstat -v
check "temp/ created" test -d "$ROOT/temp"
check "listing file gone" test ! -e "$ROOT/temp/un_printerlist.tmp"
finish
