#!/usr/bin/env bash
# remover_cups.sh [LANG]: the removal helper against a real cupsd, its listing in LANG.
# shellcheck source=../harness/cupsfx.sh
. "$ORVO_HARNESS/cupsfx.sh"
ROOT=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}
work=${TMPDIR:-/tmp}/remover-work
mkdir -p "$work"

uri=socket://127.0.0.1:9100
# Queue names that would run commands if a shell ever saw them: the quotes keep them literal.
# shellcheck disable=SC2016
names=(K20NW_USB K20N_NET K20W 'x;touch${IFS}pwned' 'y$(touch${IFS}pwned2)' K40W)
models=(K20NW K20N K20W K40NW K40N K40W)
for i in "${!names[@]}"; do
  check "queue ${names[$i]} (${models[$i]}) added" cupsfx_add_queue "${names[$i]}" "$uri" "${models[$i]}"
done
check "foreign-model queue added" cupsfx_add_queue ACME_P1 "$uri" ACME
check "queue without PPD added" cupsfx_add_queue_noppd RAW_Q "$uri"

if [ "${1:-C}" != C ]; then
  check_match "listing in the other-language form" '^用于 ' "$(LANG=$1 lpstat -v | head -1)"
fi

rc=0
(cd "$work" && LANG=${1:-C} "$ROOT/bin/orvoK500Remover") || rc=$?
check_eq "exit status" 0 "$rc"
check_eq "queues left" "ACME_P1 RAW_Q" "$(LC_ALL=C lpstat -v | sed -E 's/^device for ([^:]*):.*/\1/' | sort | xargs)"
for n in "${names[@]}"; do
  check "PPD of $n gone" test ! -e "/etc/cups/ppd/$n.ppd"
done
check "PPD of the foreign queue kept" test -e /etc/cups/ppd/ACME_P1.ppd
check "listing file gone" test ! -e "$ROOT/temp/un_printerlist.tmp"
check "queue names ran no command" test -z "$(find "$work" /opt /run "$HOME" "${TMPDIR:-/tmp}" -name 'pwned*')"
finish
