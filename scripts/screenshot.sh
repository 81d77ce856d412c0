#!/usr/bin/env bash
# Takes docs/screenshot.png: horolux with digital and analog clocks on a
# private X server (Xvfb), with a private home and data directory.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
[ -x "$build/suite/horolux" ] || bash "$here/scripts/build.sh" "$build"

work=$(mktemp -d)
trap 'kill "${app_pid:-}" "${x_pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/data"
cp -r "$here/data/." "$work/data/"
: > "$work/data/hxalarms.hxd"
: > "$work/data/hxdayloom.hxd"
# Every other clock as an analog face.
awk -F'\t' 'BEGIN{OFS="\t"} NR%2==0 && $5=="Digital" {$5="Analog"} {print}' \
  "$here/data/hxclocks.hxd" > "$work/data/hxclocks.hxd"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x400x24 -nolisten tcp >/dev/null 2>&1 &
x_pid=$!
sleep 1
start() {
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/home" \
    DISPLAY="$display" QT_QPA_PLATFORM=xcb \
    "$build/suite/horolux" -datadir "$work/data" -readonly >/dev/null 2>&1 &
  app_pid=$!
}
# The first run shows the welcome window and stores that it has; the second
# shows the clocks alone.
start
sleep 4
kill -TERM "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
start
sleep 5
DISPLAY="$display" python3 "$here/scripts/xgrab.py" "$here/docs/screenshot.png"
echo "docs/screenshot.png written"
