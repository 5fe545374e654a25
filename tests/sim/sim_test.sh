#!/bin/bash
# Runs the simulator with two USB printers of one model and a network printer, and checks
# it from a separate libusb/UDP client and through the command-line client.
# usage: sim_test.sh ORVO-MFPSIM SIM_USB_CLIENT
set -u
export ORVO_MFPSIM=$1
client=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/simtest.XXXXXX")
export TMPDIR=$work
. "$(dirname "$0")/simfx.sh"
fail=0
# check CMD...: runs CMD; a failure is reported with the arguments as they were expanded.
check() {
    if ! "$@"; then
        echo "FAIL: $*" >&2
        fail=1
    fi
}
# shellcheck disable=SC2317 # run through check
has() { [[ $1 == *"$2"* ]]; }
# shellcheck disable=SC2317 # run through check
fails() { ! "$@" > /dev/null 2>&1; }
trap 'sim_stop; rm -rf "$work"' EXIT

sim_start "$work/ctl" --usb p1:K20NW:AB1234 --usb p2:K20NW:CD5678 --net n1:K40N:127.0.0.2 || exit 1
check test -d "$UMOCKDEV_DIR/sys/devices/1-1"
check test -d "$UMOCKDEV_DIR/sys/devices/1-2"
check test "$LD_PRELOAD" = libumockdev-preload.so.0
check has "$ASAN_OPTIONS" verify_asan_link_order=0
"$client" "$work/ctl" || fail=1

# The command-line client: data lines on stdout, non-zero exit on ERR.
check test "$(sim_ctl get p2 requests)" = 2
check fails sim_ctl get nosuch requests
check test "$(sim_ctl list | wc -l)" = 3
check sim_ctl set field p2 product "Orvo K20NW"
check has "$(sim_ctl get p2 status)" 4F72766F204B32304E57
# The network device's scanner services answer on its address and record what they get.
check test "$(sim_ctl netscan n1 count posts)" = 0
exec 3<>/dev/tcp/127.0.0.2/80 || fail=1
printf 'GET /netscan/capabilites HTTP/1.1\r\n\r\n' >&3
caps=$(cat <&3)
exec 3<&-
check has "$caps" $'\r\n\r\nDUPLEX=false\r\n'
check has "$caps" MAXRES=1200
check test "$(sim_ctl netscan n1 requests)" = 474554202F6E65747363616E2F6361706162696C6974657320485454502F312E310D0A0D0A
check fails sim_ctl netscan p1 count posts
testbed=$UMOCKDEV_DIR
sim_stop
check test ! -e "$testbed"
check test ! -e "$work/ctl"

# A second simulator on an address already taken fails instead of pretending to be ready.
sim_start "$work/ctl2" --net a:K40N:127.0.0.3 || fail=1
check fails env -u LD_PRELOAD "$ORVO_MFPSIM" --ctl "$work/ctl3" --net b:K40N:127.0.0.3
check fails env -u LD_PRELOAD "$ORVO_MFPSIM" --ctl "$work/ctl3" --net b:K40N:10.0.0.1
check fails env -u LD_PRELOAD "$ORVO_MFPSIM" --ctl "$work/ctl3" --usb b:K99:1
sim_stop
exit $fail
