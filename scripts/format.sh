#!/usr/bin/env bash
# Formats the tree's C++ files with clang-format by the rules of .clang-format. With --check
# nothing is changed: the files that differ from the rules are named and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || bash scripts/deps.sh clang-format
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.inc')
else
  mapfile -t files < <(find . -path './build*' -prune -o \
                            \( -name '*.cpp' -o -name '*.h' -o -name '*.inc' \) -print | sort)
fi
case "${1:-}" in
  --check)
    differ=()
    for f in "${files[@]}"; do
      clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || differ+=("$f")
    done
    if [ ${#differ[@]} -gt 0 ]; then
      printf '%s\n' "${differ[@]}" >&2
      echo "format.sh: ${#differ[@]} files differ from .clang-format (scripts/format.sh fixes them)" >&2
      exit 1
    fi
    ;;
  "") clang-format -i "${files[@]}" ;;
  *) echo "Usage: scripts/format.sh [--check]" >&2; exit 2 ;;
esac
