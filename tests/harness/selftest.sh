#!/usr/bin/env bash
# Self-test of the sandbox and the CUPS fixture.
# Run as: orvo-sandbox --cups -- selftest.sh
# The outer sandbox plays the host: it starts two nested sandboxes at once (same
# queue names, same sink ports) that run the checks below with "--inner", then
# verifies that they changed nothing around them and left no process behind.
set -euo pipefail
. "$ORVO_HARNESS/cupsfx.sh"

ROOT=${ORVO_INSTALL_ROOT:?set by orvo-sandbox}
SNMP_OFF='/?snmp=false'

# shellcheck disable=SC2317 # run through wait_until
printing() { lpstat -p "$1" 2> /dev/null | grep -q "now printing $1-"; }
# shellcheck disable=SC2317 # run through wait_until
queue_empty() { [ -z "$(lpstat -o "$1" 2> /dev/null)" ]; }
model_of() { sed -n 's/^\*ModelName: *//p' "/etc/cups/ppd/$1.ppd" 2> /dev/null; }
conf_uri() { sed -n "/^<\(Default\)\{0,1\}Printer $1>\$/,/^<\//s/^DeviceURI //p" /etc/cups/printers.conf; }
# Stacked mounts (a sandbox inside a sandbox) list the topmost one last.
fs_type() { findmnt -n -o FSTYPE --target "$1" | tail -n 1; }

inner() {
  local tag=$1

  # Isolation
  check "runs under the sandbox as PID 1" grep -q orvo-sandbox /proc/1/cmdline
  check_eq "only a handful of processes are visible" 1 "$(( $(ps -e --no-headers | wc -l) < 10 ))"
  check_eq "loopback is the only network link" "lo" "$(ip -o link show | awk -F': ' '{print $2}')"
  check_match "loopback is up" "UP" "$(ip -o link show lo)"
  for d in /opt /etc/cups /var/spool/cups /var/cache/cups /var/log/cups /run /usr/lib/cups/backend; do
    check_eq "$d is a private tmpfs" tmpfs "$(fs_type "$d")"
  done
  check "TMPDIR is private" test "$(fs_type "$TMPDIR")" = tmpfs
  check "install root exists" test -d "$ROOT"
  for d in cfg log temp tool; do
    check "install root holds $d/" test -d "$ROOT/$d"
  done
  local manifest=$ORVO_BUILD_DIR/install_manifest.txt missing=0 f
  while read -r f; do
    [ -e "$f" ] || { missing=$(( missing + 1 )); echo "not installed: $f"; }
  done < "$manifest"
  check_eq "every installed file is under the private root" 0 "$missing"
  if grep -q "^$ROOT/bin/" "$manifest"; then
    check "bin/ holds the built programs" test -x "$(grep -m1 "^$ROOT/bin/" "$manifest")"
  fi
  check "the install root is writable" touch "$ROOT/cfg/selftest-$tag"
  check_eq "/etc/cups holds only package files and our cupsd.conf" \
    "cups-files.conf cupsd.conf ppd ssl" "$(find /etc/cups -mindepth 1 -maxdepth 1 ! -name 'printers.conf*' -printf '%f\n' | sort | tr '\n' ' ' | sed 's/ $//')"
  check "our cupsd.conf is in use" cmp -s "$ORVO_HARNESS/cupsd.conf" /etc/cups/cupsd.conf
  check "the socket backend is present" test -x /usr/lib/cups/backend/socket
  check "the usb backend is present" test -x /usr/lib/cups/backend/usb
  check "the orvok500socket backend is present" test -x /usr/lib/cups/backend/orvok500socket
  check_eq "the backend directory has the mode the scheduler requires" 755 "$(stat -c %a /usr/lib/cups/backend)"
  check_eq "no backend is writable by others than its owner" "" \
    "$(find /usr/lib/cups/backend -maxdepth 1 -type f -perm /022)"

  # Scheduler
  check "cupsd answers" _cupsfx_answers
  check_eq "CUPSFX_PID is the running cupsd" cupsd "$(cat "/proc/$CUPSFX_PID/comm")"
  check_fails "the host's queues are not visible" lpstat -v

  # Queues
  cupsfx_sink_start 9100
  cupsfx_sink_start 9101
  check "usb queue" cupsfx_add_queue U1 'usb://Orvo/K20NW?serial=AB12' K20NW
  check "socket queue" cupsfx_add_queue S1 "socket://127.0.0.1:9100$SNMP_OFF" K40N
  check "orvok500socket queue" cupsfx_add_queue O1 'orvok500socket://127.0.0.1' K20W
  check "orvok500socket queue with port" cupsfx_add_queue O2 "orvok500socket://127.0.0.1:9101$SNMP_OFF" K40NW
  check "ipp queue" cupsfx_add_queue I1 'ipp://127.0.0.1:8631/ipp/print' K20N
  check "foreign model queue" cupsfx_add_queue A1 "socket://127.0.0.1:9102$SNMP_OFF" ACME
  check "raw queue without PPD" cupsfx_add_queue_noppd R1 "socket://127.0.0.1:9103$SNMP_OFF"
  check_fails "an unknown model is refused" cupsfx_add_queue X1 "socket://127.0.0.1:9104$SNMP_OFF" K99
  local q
  for q in U1 S1 O1 O2 I1 A1 R1; do
    check "printers.conf holds $q" cupsfx_wait_conf "$q"
  done
  check_eq "printers.conf URI of U1" 'usb://Orvo/K20NW?serial=AB12' "$(conf_uri U1)"
  check_eq "printers.conf URI of S1" "socket://127.0.0.1:9100$SNMP_OFF" "$(conf_uri S1)"
  check_eq "printers.conf URI of O1" 'orvok500socket://127.0.0.1' "$(conf_uri O1)"
  check_eq "printers.conf URI of I1" 'ipp://127.0.0.1:8631/ipp/print' "$(conf_uri I1)"
  check_eq "PPD model of U1" '"Orvo K20NW"' "$(model_of U1)"
  check_eq "PPD model of S1" '"Orvo K40N"' "$(model_of S1)"
  check_eq "PPD model of O1" '"Orvo K20W"' "$(model_of O1)"
  check_eq "PPD model of O2" '"Orvo K40NW"' "$(model_of O2)"
  check_eq "PPD model of I1" '"Orvo K20N"' "$(model_of I1)"
  check_eq "PPD model of A1" '"Acme LaserWriter P1"' "$(model_of A1)"
  check_fails "the raw queue has no PPD" test -e /etc/cups/ppd/R1.ppd
  check "default queue is set" cupsfx_set_default U1
  check "printers.conf names the default" grep -qx '<DefaultPrinter U1>' /etc/cups/printers.conf

  # Jobs
  local doc=$TMPDIR/doc-$tag.txt job
  printf 'selftest %s\n' "$tag" > "$doc"
  job=$(lp -d S1 "$doc" | sed -n 's/^request id is \([^ ]*\) .*/\1/p')
  check_match "job accepted" '^S1-[0-9]+$' "$job"
  check "a held job shows as printing" wait_until 5 printing S1
  sleep 0.3
  check_match "it is still printing while held" "now printing $job" "$(lpstat -p S1)"
  check "the sink got the data" wait_until 5 test -e "$(cupsfx_sink_dir 9100)/job-1.bin"
  cupsfx_sink_release 9100
  check "the job completes once released" wait_until 5 queue_empty S1
  check "the sink received the document" cmp -s "$doc" "$(cupsfx_sink_dir 9100)/job-1.bin"
  cupsfx_sink_release 9101
  lp -d O2 "$doc" > /dev/null
  check "a job through orvok500socket completes" wait_until 5 queue_empty O2
  check "orvok500socket delivered the document" cmp -s "$doc" "$(cupsfx_sink_dir 9101)/job-1.bin"

  # Removal and restart
  check "delete a queue" cupsfx_del_queue A1
  check_fails "its PPD is gone" test -e /etc/cups/ppd/A1.ppd
  check_fails "lpstat no longer knows it" lpstat -p A1
  local old=$CUPSFX_PID
  cupsfx_stop
  check_fails "cupsd has stopped" _cupsfx_alive "$old"
  check "cupsd restarts" cupsfx_start
  check_fails "it is a new process" test "$CUPSFX_PID" = "$old"
  check_match "queues survive the restart" "device for S1: " "$(lpstat -v)"

  # Left for the outer test to prove that the namespace takes it down.
  setsid sleep 300 < /dev/null > /dev/null 2>&1 &
}

snapshot() {
  find "$@" -xdev -printf '%p %m %U %G %s\n' 2> /dev/null | sort
  find "$@" -xdev -type f -exec md5sum {} + 2> /dev/null | sort
}

outer() {
  check "outer cupsd answers" _cupsfx_answers
  check "a queue of the outer instance" cupsfx_add_queue HOSTQ "socket://127.0.0.1:9100$SNMP_OFF" K20NW
  cupsfx_wait_conf HOSTQ
  local before after
  before=$(snapshot /etc/cups /var/spool/cups /var/cache/cups /usr/lib/cups/backend /opt)

  # C runs from a copy with the group-writable modes that a source tree unpacked from an
  # archive as root has (tar keeps git archive's 0775); the scheduler must still run backends.
  # The copy goes below /tmp: a nested sandbox keeps /tmp when its harness lives there,
  # whereas it hides /run, where TMPDIR points when this sandbox itself had to keep /tmp.
  local unpacked
  unpacked=$(mktemp -d /tmp/unpacked-harness.XXXXXX)
  cp -r "$ORVO_HARNESS/." "$unpacked"
  chmod -R g+w "$unpacked"
  local rc_a=0 rc_b=0 rc_c=0
  "$ORVO_HARNESS/orvo-sandbox" --cups -- "$0" --inner A > "$TMPDIR/inner-A.log" 2>&1 &
  local pid_a=$!
  "$ORVO_HARNESS/orvo-sandbox" --cups -- "$0" --inner B > "$TMPDIR/inner-B.log" 2>&1 &
  local pid_b=$!
  "$unpacked/orvo-sandbox" --cups -- "$unpacked/selftest.sh" --inner C > "$TMPDIR/inner-C.log" 2>&1 &
  local pid_c=$!
  wait "$pid_a" || rc_a=$?
  wait "$pid_b" || rc_b=$?
  wait "$pid_c" || rc_c=$?
  rm -rf "$unpacked"
  sed 's/^/[A] /' "$TMPDIR/inner-A.log"
  sed 's/^/[B] /' "$TMPDIR/inner-B.log"
  sed 's/^/[C] /' "$TMPDIR/inner-C.log"
  check_eq "nested sandbox A passed" 0 "$rc_a"
  check_eq "nested sandbox B passed" 0 "$rc_b"
  check_eq "nested sandbox C (group-writable source tree) passed" 0 "$rc_c"
  check_match "nested sandboxes ran their checks" '^[0-9]+ checks, 0 failed$' "$(tail -n 1 "$TMPDIR/inner-A.log")"

  after=$(snapshot /etc/cups /var/spool/cups /var/cache/cups /usr/lib/cups/backend /opt)
  check_eq "the surrounding CUPS and /opt files are unchanged" "$before" "$after"
  check_fails "nothing was written to the surrounding install root" \
    compgen -G "$ROOT/cfg/selftest-*"
  check_eq "only the outer cupsd is left" "$CUPSFX_PID" "$(ps -C cupsd -o pid= | tr -d ' ')"
  check_fails "no sink is left" pgrep -f slowsink.py
  check_fails "no stray process is left" pgrep -x sleep
  check_eq "the outer queues are untouched" "device for HOSTQ: socket://127.0.0.1:9100$SNMP_OFF" "$(lpstat -v)"

  local rc=0
  env -u ORVO_BUILD_DIR "$ORVO_HARNESS/orvo-sandbox" -- sh -c 'exit 7' || rc=$?
  check_eq "the command's exit status is passed on" 7 "$rc"
  rc=0
  env -u ORVO_BUILD_DIR "$ORVO_HARNESS/orvo-sandbox" --cups 2> /dev/null || rc=$?
  check_eq "a missing command is a usage error" 2 "$rc"
}

if [ "${1:-}" = --inner ]; then
  inner "$2"
else
  outer
fi
finish
