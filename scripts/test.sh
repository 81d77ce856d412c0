#!/usr/bin/env bash
# Installs what is missing, builds the suite plain and with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test in both builds.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/install-deps.sh"

jobs=$(nproc)
status=0

run_suite() {
  bash "$here/scripts/ctest-private.sh" "$1" -j "$jobs" || status=1
}

echo "== Plain build"
bash "$here/scripts/build.sh" "$here/build"
run_suite "$here/build"

echo "== Sanitizer build (address, undefined)"
bash "$here/scripts/build.sh" "$here/build-san" -DHX_SANITIZE=ON -DHX_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite "$here/build-san"

exit $status
