#!/usr/bin/env bash
# Runs the unit tests of the numerical library, the model and the dialogue under valgrind's
# memcheck: any invalid access, use of an uninitialised value or definite leak fails.
#   BUILD_DIR  a build folder with the tests built (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v valgrind >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq valgrind </dev/null >&2
fi
build=${BUILD_DIR:-build}
status=0
for layer in numlib model dialogue; do
  echo "=== valgrind: ${layer}_tests"
  if ! valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
        --suppressions=scripts/valgrind.supp \
        "$build/tests/$layer/${layer}_tests" --gtest_brief=1; then
    echo "${layer}_tests FAILED under valgrind"
    status=1
  fi
done
exit $status
