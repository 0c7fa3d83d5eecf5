#!/usr/bin/env bash
# The bash completion of mapfit: completion_test.sh COMPLETION_FILE
# Each case is a command line, with the cursor at its end, and the completions expected (sorted,
# joined by "|"). The files to complete are made in a scratch folder.
set -uo pipefail
completion=$(realpath "$1")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
mkdir -p data 'my series'
touch henon.txt logistic.txt plot.png 'two words.dat' data/lorenz.txt fitting.txt

# shellcheck source=/dev/null
source "$completion" || exit 1

failures=0
# check LINE EXPECTED: LINE is split as bash splits it for completion (words, "=" apart).
check() {
  local line=$1 expected=$2
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMP_WORDS=()
  local rest=$line word
  while [[ -n $rest ]]; do
    if [[ $rest =~ ^[[:space:]]+ ]]; then
      rest=${rest:${#BASH_REMATCH[0]}}
    elif [[ $rest == =* ]]; then
      COMP_WORDS+=("=")
      rest=${rest:1}
    else
      word=${rest%%[[:space:]=]*}
      COMP_WORDS+=("$word")
      rest=${rest:${#word}}
    fi
  done
  [[ $line =~ [[:space:]]$ || -z $line ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _mapfit
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd '|')
  if [[ $got != "$expected" ]]; then
    echo "FAIL: '$line': got '$got', expected '$expected'"
    failures=$((failures + 1))
  fi
}

all_files='data|fitting.txt|henon.txt|logistic.txt|my series|plot.png|two words.dat'
# The program's own options.
check 'mapfit -' '--|--help|--plot|--terminal|--version|-h'
check 'mapfit --t' '--terminal'
check 'mapfit --plot ' "$all_files"
check 'mapfit --plot=' "$all_files"
check 'mapfit --plot=p' 'plot.png'
check 'mapfit --plot=data/' 'data/lorenz.txt'
# Series files, spaces in names kept whole.
check 'mapfit ' "$all_files"
check 'mapfit h' 'henon.txt'
check 'mapfit t' 'two words.dat'
check 'mapfit --terminal data/' 'data/lorenz.txt'
check 'mapfit x' ''
# After "--" every word is a file, even one that begins with "-".
touch -- -odd.txt
check 'mapfit -- -' '-odd.txt'
check 'mapfit --terminal -- --p' ''
rm -- -odd.txt

# A subcommand is one more entry of the table: completed as the first word, with its own
# options after it.
_mapfit_options['fit']='--order=VALUE --output=FILE --rank=test|ptime|bic --json'
check 'mapfit f' 'fit|fitting.txt'
check 'mapfit --terminal f' 'fitting.txt'
check 'mapfit fit --' '--json|--order|--output|--rank'
check 'mapfit fit --order ' ''
check 'mapfit fit --order=' ''
check 'mapfit fit --output p' 'plot.png'
check 'mapfit fit --rank ' 'bic|ptime|test'
check 'mapfit fit --rank=p' 'ptime'
check 'mapfit henon.txt fit --' '--|--help|--plot|--terminal|--version'

# "=" left out of COMP_WORDBREAKS: the option and its value are one word.
whole_word() {
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  _mapfit
  printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd '|'
}
for row in 'mapfit --plot=p|--plot=plot.png' 'mapfit fit --rank=t|--rank=test'; do
  read -r -a words <<<"${row%%|*}"
  got=$(whole_word "${words[@]}")
  if [[ $got != "${row#*|}" ]]; then
    echo "FAIL: whole word '${row%%|*}': got '$got', expected '${row#*|}'"
    failures=$((failures + 1))
  fi
done

if ((failures > 0)); then
  echo "$failures failures"
  exit 1
fi
echo "all completion cases pass"
