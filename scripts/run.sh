#!/usr/bin/env bash
# Installs what is missing, builds the four programs and their data (not the
# tests) and starts horolux on the user's data directory.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/install-deps.sh"
cmake -S "$here" -B "$here/build" -G Ninja >/dev/null
cmake --build "$here/build" --parallel "$(nproc)" --target hx_suite hx_data
if [ -x "$here/build/suite/horolux" ]; then
  exec "$here/build/suite/horolux" "$@"
fi
echo "The suite is built in build/suite, but horolux itself does not exist yet."
