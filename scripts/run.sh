#!/usr/bin/env bash
# Installs what is missing, builds mapfit and runs it. Without arguments it runs on the bundled
# sample series data/henon.txt; otherwise the arguments go to mapfit.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/deps.sh"
build=${BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)"
if [ ! -x "$build/app/mapfit" ]; then
  echo "mapfit: the build did not produce $build/app/mapfit" >&2
  exit 1
fi
if [ $# -eq 0 ]; then set -- "$root/data/henon.txt"; fi
exec "$build/app/mapfit" "$@"
