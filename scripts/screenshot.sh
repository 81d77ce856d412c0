#!/usr/bin/env bash
# Takes docs/screenshot.png: the horolux window, frame and all, with digital
# and analog clocks, on a private X server (Xvfb) under a window manager
# (openbox), with a private home and data directory.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
[ -x "$build/suite/horolux" ] || bash "$here/scripts/build.sh" "$build"

# The picture's own needs, beyond those of the build.
if ! command -v openbox >/dev/null || ! command -v xdotool >/dev/null; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
    openbox xdotool
fi

work=$(mktemp -d)
trap 'kill "${app_pid:-}" "${wm_pid:-}" "${x_pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/data"
cp -r "$here/data/." "$work/data/"
# Every other clock as an analog face.
awk -F'\t' 'BEGIN{OFS="\t"} NR%2==0 && $5=="Digital" {$5="Analog"} {print}' \
  "$here/data/hxclocks.hxd" > "$work/data/hxclocks.hxd"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x400x24 -nolisten tcp >/dev/null 2>&1 &
x_pid=$!
sleep 1
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" DISPLAY="$display" \
  openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
sleep 1
start() {
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/home" \
    DISPLAY="$display" QT_QPA_PLATFORM=xcb \
    "$build/suite/horolux" -datadir "$work/data" -readonly >/dev/null 2>&1 &
  app_pid=$!
}
# The first run shows the welcome window and, once the clocks are up, offers
# the location update; both are answered with Escape as a user might. The
# second start shows the clocks alone.
start
sleep 4
DISPLAY="$display" xdotool key Escape
sleep 2
DISPLAY="$display" xdotool key Escape
sleep 1
kill -TERM "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
start
sleep 5
# The clock window with its frame, not the screen round it.
window=$(DISPLAY="$display" xdotool search --onlyvisible --pid "$app_pid" | head -n 1)
[ -n "$window" ] || { echo "the clock window did not show" >&2; exit 1; }
DISPLAY="$display" python3 "$here/scripts/xgrab.py" "$here/docs/screenshot.png" "$window"
echo "docs/screenshot.png written"
