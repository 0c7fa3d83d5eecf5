#!/usr/bin/env bash
# `cmake --install` to a prefix gives a tree that works from there, and from wherever it is
# moved: install_tree_test.sh BUILD_DIR SOURCE_DIR APP_ID VERSION MAN_PAGE(ON|OFF)
set -uo pipefail
build=$1
source_dir=$2
app_id=$3
version=$4
man_page=$5
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

prefix=$scratch/prefix
if ! cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi

# Exactly these files: the sample series are those of the source tree's data/.
expected=$(
  {
    printf '%s\n' bin/mapfit \
      "share/applications/$app_id.desktop" \
      share/bash-completion/completions/mapfit \
      share/doc/mapfit/changelog.gz \
      share/doc/mapfit/copyright \
      "share/icons/hicolor/128x128/apps/$app_id.png" \
      "share/icons/hicolor/48x48/apps/$app_id.png" \
      "share/icons/hicolor/scalable/apps/$app_id.svg" \
      "share/metainfo/$app_id.metainfo.xml" \
      "share/mime/packages/$app_id.xml"
    [[ $man_page == ON ]] && echo share/man/man1/mapfit.1.gz
    (cd "$source_dir/data" && ls -- *.txt) | sed 's|^|share/mapfit/data/|'
  } | LC_ALL=C sort
)
installed=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
[[ $installed == "$expected" ]] || fail "installed files differ:
$(diff <(echo "$expected") <(echo "$installed"))"

# The icons have the sizes their folders say (width and height from the PNG header).
for size in 48 128; do
  png="$prefix/share/icons/hicolor/${size}x$size/apps/$app_id.png"
  dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
  [[ $dims == "${size}x$size" ]] || fail "$png is $dims"
done

# The entries refer to each other by the names they are installed under.
desktop=$prefix/share/applications/$app_id.desktop
icon=$(sed -n 's/^Icon=//p' "$desktop")
[[ -f $prefix/share/icons/hicolor/scalable/apps/$icon.svg ]] || fail "no icon '$icon'"
mime=$(sed -n 's/^MimeType=\(.*\);$/\1/p' "$desktop")
grep -q "<mime-type type=\"$mime\">" "$prefix/share/mime/packages/$app_id.xml" ||
  fail "the desktop entry's type '$mime' is not defined"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
  "$prefix/share/metainfo/$app_id.metainfo.xml" || fail "the metainfo does not launch $app_id.desktop"
grep -q "<release version=\"$version\" " "$prefix/share/metainfo/$app_id.metainfo.xml" ||
  fail "the metainfo has no release $version"
[[ $(zcat "$prefix/share/doc/mapfit/changelog.gz" | head -1) == "mapfit ($version) unstable; urgency=medium" ]] ||
  fail "the Debian changelog does not begin with $version"

# The program names the sample folder of its own tree: where it was installed, where the tree
# is moved to, and through a link from elsewhere. The rest of the help is the build tree's.
build_help=$("$build/app/mapfit" --help)
check_help() {
  local program=$1 data=$2 help
  help=$("$program" --help)
  grep -qxF "Sample series to try: the files in $data" <<<"$help" ||
    fail "$program --help does not name $data:
$help"
  [[ $(grep -v '^Sample series to try: ' <<<"$help") == "$build_help" ]] ||
    fail "$program --help differs from the build tree's beyond the sample folder"
}
[[ $("$prefix/bin/mapfit" --version) == "mapfit $version" ]] || fail "--version"
check_help "$prefix/bin/mapfit" "$prefix/share/mapfit/data"
grep -q '^Sample series' <<<"$build_help" && fail "the build tree's --help names a sample folder"
moved=$scratch/moved
mv "$prefix" "$moved"
check_help "$moved/bin/mapfit" "$moved/share/mapfit/data"
mkdir "$scratch/links"
ln -s "$moved/bin/mapfit" "$scratch/links/mapfit"
check_help "$scratch/links/mapfit" "$moved/share/mapfit/data"

bash "$here/session_check.sh" "$moved/bin/mapfit" "$moved/share/mapfit/data/henon.txt" ||
  fail "the session on the installed sample series"

# The manual is found through the tree's man folder and formats without a warning.
[[ $man_page == ON ]] || {
  echo "no manual page in this build: not checked"
  exit $((failures > 0))
}
page=$(MANPATH=$moved/share/man man -w mapfit 2>&1)
[[ $page == "$moved/share/man/man1/mapfit.1.gz" ]] || fail "man -w mapfit gives '$page'"
text=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$page" 2>"$scratch/man.err")
[[ -s $scratch/man.err ]] && fail "man warns: $(cat "$scratch/man.err")"
headings=$(grep -E '^[A-Z][A-Z ]+$' <<<"$text" | paste -sd '|')
[[ $headings == 'NAME|SYNOPSIS|DESCRIPTION|OPTIONS|DIALOGUE|SERIES FILES|REPORT|EXIT STATUS|FILES|EXAMPLES' ]] ||
  fail "manual sections: $headings"
grep -qF "mapfit - fit a model map to a time series and check its predictions" <<<"$text" ||
  fail "manual NAME line"
grep -qF -- "--plot FILE" <<<"$text" || fail "the manual lacks the options of --help"

if ((failures > 0)); then
  echo "$failures failures"
  exit 1
fi
echo "installed tree works"
