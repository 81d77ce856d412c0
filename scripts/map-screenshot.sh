#!/usr/bin/env bash
# Takes docs/map.png: World Explorer with the shipped layers, a few plotted
# clocks and the night shadow, from the map window's own test.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$here/build}
cmake --build "$build" --parallel 3 --target map_window_tests
HX_MAP_SCREENSHOT="$here/docs/map.png" QT_QPA_PLATFORM=offscreen \
  "$build/tests/map_window_tests" --gtest_filter='MapWindow.Screenshot'
echo "docs/map.png written"
