#!/usr/bin/env bash
# Installs what is missing, builds mapfit and its tests (warnings are errors), and runs the whole
# test suite.
# BUILD_DIR chooses the build folder (default: build); extra arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DMAPFIT_BUILD_TESTS=ON -DMAPFIT_WERROR=ON "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
