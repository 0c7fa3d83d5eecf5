#!/usr/bin/env bash
# The menu entry, the software-centre entry and the series-file type pass the desktop's own
# validators: validate_test.sh GENERATED_DIR APP_ID MIME_XML
# Exit status 77 (skipped) when a validator is not installed (scripts/deps.sh installs them).
set -uo pipefail
generated=$1
app_id=$2
mime_xml=$3
for tool in desktop-file-validate appstreamcli update-mime-database xmllint; do
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

# No errors and no warnings; the one hint left is the entry's two main categories (Science and
# Education), which are both meant: menus that have either show it there.
desktop=$generated/$app_id.desktop
report=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $report"
unexpected=$(grep -v 'hint: value "Science;Education;Math;" for key "Categories" in group "Desktop Entry" contains more than one main category' <<<"$report")
[[ -z $unexpected ]] || fail "desktop-file-validate reports: $unexpected"

# Offline: the addresses are checked for their form, not fetched.
metainfo=$generated/$app_id.metainfo.xml
report=$(appstreamcli validate --no-net --pedantic --no-color "$metainfo" 2>&1) ||
  fail "appstreamcli validate: $report"
grep -qF 'Validation was successful' <<<"$report" || fail "appstreamcli validate: $report"
grep -qE '^[EWI]: ' <<<"$report" && fail "appstreamcli validate reports: $report"

# The type is read by the tool that builds the desktop's type database, and claims *.dat
# below the usual weight.
mkdir -p "$scratch/mime/packages"
cp "$mime_xml" "$scratch/mime/packages/$app_id.xml"
xmllint --noout "$mime_xml" || fail "xmllint $mime_xml"
report=$(XDG_DATA_HOME=$scratch XDG_DATA_DIRS=$scratch update-mime-database "$scratch/mime" 2>&1) || fail "update-mime-database: $report"
[[ -z $report ]] || fail "update-mime-database reports: $report"
grep -qxF '40:text/x-mapfit-series:*.dat' "$scratch/mime/globs2" ||
  fail "no *.dat glob for text/x-mapfit-series: $(cat "$scratch/mime/globs2")"
grep -qF 'text/x-mapfit-series text/plain' "$scratch/mime/subclasses" ||
  fail "text/x-mapfit-series is not a kind of text/plain"

if ((failures > 0)); then
  echo "$failures failures"
  exit 1
fi
echo "desktop entry, metainfo and series-file type are valid"
