#!/usr/bin/env bash
# The project's test command (as root, from the source root): installs the test
# dependencies, builds with sanitizers and warnings as errors, runs every test.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

bash scripts/install-test-deps.sh
# lld links the sanitized programs in a third of the default linker's time.
link=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld)
cmake -S . -B build-test -DORVO_SANITIZE=ON -DORVO_WERROR=ON -DCMAKE_BUILD_TYPE=Debug "${link[@]}"
cmake --build build-test -j2
# umockdev's preload library comes before the ASan runtime. Leak checking is on: the
# tests get LSAN_OPTIONS with the suppressions of tests/lsan.supp from ctest.
export ASAN_OPTIONS=verify_asan_link_order=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Most tests spend their time waiting on the programs' own cycles (a status request a
# second, a watchdog check every few seconds): four at a time on the two cores. The package
# build and the pace-measuring outage test count twice (their PROCESSORS), the longest tests
# start first (their COST).
rc=0
ctest --test-dir build-test -j4 --output-on-failure || rc=$?

# The same source against Qt 5.15: it builds, and its unit tests and one end-to-end test of
# each window program pass (the window opens and does its main task on the emulated printer).
# Only what those tests run is built: the printing and desktop parts (the only ones their
# sandboxes install; the scan part has no Qt), the simulator and the chosen test programs.
# Without debug information (unoptimised and with assertions, as Debug), which only this
# build's compile and link time would pay for.
qt5_tests='^(common_|status_parser|status_reply|setting_frames|service_rules|fw_transfer|fw_e2e_sizes|setting_pages_netReadWriteRead|tool_e2e|statusview|setting_cli|watchdog_cycle|remover_listing|translations_complete|[a-z]*_lang_)'
# Ninja builds the listed targets as one graph; CMake's Makefiles build them one after
# another, each one's last steps on one core. An earlier Makefile tree is made afresh.
grep -qsx 'CMAKE_GENERATOR:INTERNAL=Ninja' build-qt5/CMakeCache.txt || rm -rf build-qt5
cmake -S . -B build-qt5 -G Ninja -DORVO_QT_MAJOR=5 -DORVO_WERROR=ON -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS_DEBUG= -DCMAKE_C_FLAGS_DEBUG= "${link[@]}"
mapfile -t qt5_targets < <(bash tests/harness/test-targets.sh build-qt5 "$qt5_tests")
cmake --build build-qt5 -j2 --target orvo-part-printing orvo-part-desktop orvo-mfpsim "${qt5_targets[@]}"
ORVO_INSTALL_COMPONENTS="printing desktop" ctest --test-dir build-qt5 -j4 --output-on-failure -R "$qt5_tests" || rc=$?
exit "$rc"
