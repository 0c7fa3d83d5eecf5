#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the program's own sources (not the tests),
# from the compilation database of a build folder (BUILD_DIR, default build-tidy, configured
# here when missing). Fails on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v run-clang-tidy >/dev/null || bash scripts/deps.sh clang-tidy
build=${BUILD_DIR:-build-tidy}
cmake -S . -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DMAPFIT_BUILD_TESTS=OFF >/dev/null
run-clang-tidy -quiet -p "$build" -j "$(nproc)" \
  '/(numlib|model|plot|windowing|dialogue|scripting|app)/[^/]*\.cpp$' \
  '/windowing/qt/[^/]*\.cpp$'
