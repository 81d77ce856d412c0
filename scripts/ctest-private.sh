#!/usr/bin/env bash
# Runs ctest on one build directory inside a private home, XDG tree and session
# bus, as the full test run does: ctest-private.sh DIR [ctest args...]
set -euo pipefail
dir=$1; shift
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/cache" "$tmp/runtime"
chmod 700 "$tmp/runtime"
env -u DBUS_SESSION_BUS_ADDRESS -u DISPLAY -u WAYLAND_DISPLAY \
  HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" \
  XDG_CACHE_HOME="$tmp/cache" XDG_RUNTIME_DIR="$tmp/runtime" \
  QT_QPA_PLATFORM=offscreen HX_TEST_TMP="$tmp" \
  dbus-run-session -- ctest --test-dir "$dir" --output-on-failure "$@"
