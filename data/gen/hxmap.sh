#!/usr/bin/env bash
# Makes the shipped map layers data/map/01-timezones.lyr and
# data/map/02-countries.lyr from world-atlas 2.0.2 (Natural Earth 1:50m,
# public domain; world-atlas itself ISC) and the known places of
# data/hxzones.hxd:
#
#     bash data/gen/hxmap.sh [BUILD_DIR]
#
# BUILD_DIR (default "build") holds a built hx_mklayers. The package comes
# through npm into a temporary folder and is used only when its checksum is
# the one below. Run it again after the place list changes.
set -euo pipefail

src=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$src/build}" && pwd)
tool="$build/data/hx_mklayers"
[ -x "$tool" ] || { echo "hxmap.sh: build hx_mklayers first ($tool)" >&2; exit 1; }

want=2177d5d2ac25297a5c933d458705d5c0a46388884e9d6b6d3ac926e42b7132c8e013f317018447589aa05cea4cf0891c3c1a179f24d4e651477186b90a11b42d
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
(cd "$tmp" && npm pack --silent world-atlas@2.0.2 >/dev/null)
got=$(sha512sum "$tmp/world-atlas-2.0.2.tgz" | cut -d' ' -f1)
if [ "$got" != "$want" ]; then
  echo "hxmap.sh: world-atlas-2.0.2.tgz has an unexpected checksum" >&2
  exit 1
fi
tar -xzf "$tmp/world-atlas-2.0.2.tgz" -C "$tmp"
mkdir -p "$src/data/map"
"$tool" "$tmp/package/countries-50m.json" "$src/data/hxzones.hxd" "$src/data/map"
cp "$tmp/package/LICENSE" "$src/data/map/LICENSE-world-atlas"
