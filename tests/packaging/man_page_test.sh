#!/usr/bin/env bash
# The manual's section of a subcommand shows that subcommand's --help as it is, whatever the
# help holds: man_page_test.sh SOURCE_DIR
# Exit status 77 (skipped) without help2man or man.
set -uo pipefail
source_dir=$1
for tool in help2man man gzip; do
  command -v "$tool" >/dev/null || {
    echo "SKIP: $tool is not installed"
    exit 77
  }
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# A program with one subcommand whose help has lines that roff or help2man would otherwise
# take as their own: requests, escapes, section and pattern lines, minus signs.
fit_help=(
  'Usage: prog fit [--order=N] FILE'
  '.TH NOT A TITLE'
  "'br not a break"
  'back\slash \fBnot bold\fR'
  '[NOT A SECTION]'
  '/not a pattern/'
  '  --order=N   the order (-1 for none); a-b'
)
cat >"$scratch/prog" <<SCRIPT
#!/bin/sh
case "\$*" in
  --help) printf 'Usage: prog [--flag]\n\nOptions:\n  --flag   a flag\n' ;;
  --version) echo 'prog 1.2.3' ;;
  'fit --help') cat '$scratch/fit.txt' ;;
  'bad --help') echo 'no such command' >&2; exit 2 ;;
  *) exit 2 ;;
esac
SCRIPT
printf '%s\n' "${fit_help[@]}" >"$scratch/fit.txt"
chmod +x "$scratch/prog"
printf '[SEE ALSO]\nnothing\n' >"$scratch/extra.h2m"

make_page() {
  cmake -DPROGRAM="$scratch/prog" -DHELP2MAN="$(command -v help2man)" -DGZIP="$(command -v gzip)" \
    -DINCLUDE="$scratch/extra.h2m" -DNAME="a test program" -DEPOCH=1709164800 \
    -DSUBCOMMANDS="$1" -DOUTPUT="$scratch/prog.1" -P "$source_dir/packaging/man_page.cmake"
}
if ! make_page fit >"$scratch/make.log" 2>&1; then
  fail "man_page.cmake: $(cat "$scratch/make.log")"
else
  text=$(MANWIDTH=120 LC_ALL=C.UTF-8 man --warnings -l "$scratch/prog.1.gz" 2>"$scratch/man.err")
  [[ -s $scratch/man.err ]] && fail "man warns: $(cat "$scratch/man.err")"
  # The section, its lines as the help has them (the page indents them).
  section=$(sed -n '/^COMMANDS$/,/^SEE ALSO$/p' <<<"$text" | sed '1d;$d;/^$/d')
  expected=$(printf '   prog fit\n'; printf '       %s\n' "${fit_help[@]}")
  [[ $section == "$expected" ]] || fail "the COMMANDS section:
$section
--- expected
$expected"
  grep -q '^PROG(1) .* PROG(1)$' <<<"$text" || fail "the page's title"
  grep -qE '^prog 1\.2\.3 +February 2024 +PROG\(1\)$' <<<"$text" || fail "the page's date and version"
  [[ $(zcat "$scratch/prog.1.gz") == "$(cat "$scratch/prog.1")" ]] || fail "prog.1.gz is not prog.1"
fi

# Without subcommands there is no COMMANDS section; a subcommand without a help stops the page.
if make_page '' >"$scratch/make.log" 2>&1; then
  man -l "$scratch/prog.1" 2>/dev/null | grep -q '^COMMANDS$' && fail "a COMMANDS section without subcommands"
else
  fail "man_page.cmake without subcommands: $(cat "$scratch/make.log")"
fi
if make_page 'fit bad' >"$scratch/make.log" 2>&1; then
  fail "man_page.cmake accepted a subcommand whose --help fails"
else
  grep -qF "'$scratch/prog bad --help' failed (2)" "$scratch/make.log" ||
    fail "the failing subcommand is not named: $(cat "$scratch/make.log")"
fi

if ((failures > 0)); then
  echo "$failures failures"
  exit 1
fi
echo "subcommand sections of the manual are verbatim"
