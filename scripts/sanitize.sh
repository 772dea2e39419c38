#!/usr/bin/env bash
# Builds the whole project with AddressSanitizer and UndefinedBehaviorSanitizer
# in build-asan/ and runs the whole test suite with LeakSanitizer on. Any
# sanitizer report fails the run; the only suppressed leaks are allocations
# made inside the Firebird client library (scripts/lsan.supp).
#
#   scripts/sanitize.sh [ctest arguments...]
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
build="${LARKSPAN_ASAN_BUILD:-$repo/build-asan}"

# The same options for the test discovery at build time and for the run.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=0:strict_string_checks=0"
export LSAN_OPTIONS="suppressions=$repo/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export QT_QPA_PLATFORM=offscreen

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKSPAN_SANITIZE=ON -DLARKSPAN_BENCH=OFF >/dev/null
cmake --build "$build" -j2
scripts/fbserver.sh start
cd "$build"
ctest --output-on-failure -j2 "$@"
