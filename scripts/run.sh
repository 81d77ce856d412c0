#!/usr/bin/env bash
# Installs what is missing, builds the suite and starts horolux on the shipped data.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/install-deps.sh"
bash "$here/scripts/build.sh" "$here/build"
if [ -x "$here/build/suite/horolux" ]; then
  exec "$here/build/suite/horolux" "$@"
fi
echo "The suite is built in build/suite, but horolux itself does not exist yet."
