#!/usr/bin/env bash
# Runs the cancel test against the private cupsd: one queue whose name carries shell
# characters, with two held jobs.
set -euo pipefail
# shellcheck source=../harness/cupsfx.sh
. "$ORVO_HARNESS/cupsfx.sh"
queue='Orvo&K20;true'
cupsfx_add_queue "$queue" socket://127.0.0.1:9 K20NW
cupsfx_wait_conf "$queue"
printf 'page one\n' > "$TMPDIR/job.txt"
lp -d "$queue" -H hold -t first "$TMPDIR/job.txt" > /dev/null
lp -d "$queue" -H hold -t second "$TMPDIR/job.txt" > /dev/null
ORVO_TEST_QUEUE=$queue exec "$1"
