#!/usr/bin/env bash
# Remakes the globe's stored test pictures (globe/tests/golden/*.png) from
# hx_globetool: remake-globe-golden.sh [BUILD_DIR]
set -euo pipefail
dir=${1:-build}
cmake --build "$dir" --parallel 3 --target globe_tests hx_globetool
HX_REMAKE_GOLDEN=1 QT_QPA_PLATFORM=offscreen "$dir/tests/globe_tests" --gtest_filter='GlobeGolden.Synthetic*'
echo "Remade: $(dirname "$0")/../globe/tests/golden/"
