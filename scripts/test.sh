#!/usr/bin/env bash
# The project's test command (as root, from the source root): installs the test
# dependencies, builds with sanitizers and warnings as errors, runs every test.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-test-deps.sh
cmake -S . -B build-test -DORVO_SANITIZE=ON -DORVO_WERROR=ON -DCMAKE_BUILD_TYPE=Debug
cmake --build build-test -j2
# umockdev's preload library comes before the ASan runtime. Leak checking is on: the
# tests get LSAN_OPTIONS with the suppressions of tests/lsan.supp from ctest.
export ASAN_OPTIONS=verify_asan_link_order=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
rc=0
ctest --test-dir build-test -j2 --output-on-failure || rc=$?
exit "$rc"
