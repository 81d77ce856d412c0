#!/usr/bin/env bash
# Installs what is missing, builds the suite plain and with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test in both builds.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/install-deps.sh"

jobs=$(nproc)
status=0

run_suite() {
  local dir=$1
  # A private home, XDG tree and session bus per run: tests never touch the
  # user's own settings or desktop.
  local tmp
  tmp=$(mktemp -d)
  mkdir -p "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/cache" "$tmp/runtime"
  chmod 700 "$tmp/runtime"
  env -u DBUS_SESSION_BUS_ADDRESS -u DISPLAY -u WAYLAND_DISPLAY \
    HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" \
    XDG_CACHE_HOME="$tmp/cache" XDG_RUNTIME_DIR="$tmp/runtime" \
    QT_QPA_PLATFORM=offscreen HX_TEST_TMP="$tmp" \
    dbus-run-session -- ctest --test-dir "$dir" --output-on-failure -j "$jobs" || status=1
  rm -rf "$tmp"
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
