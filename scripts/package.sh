#!/usr/bin/env bash
# Makes the Debian package in a build folder and tries it as a user meets it: lintian on the
# package, apt-get install (which resolves its dependencies), the installed program, manual and
# desktop files, then apt-get purge and a search of /usr for anything left. Installs and removes
# the package system-wide: it needs root, or sudo. BUILD_DIR chooses the build folder (default
# build/), which must have been built.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build=$(realpath "${BUILD_DIR:-build}")
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
desktop_entry=$(ls "$build"/packaging/*.desktop)
app_id=$(basename "$desktop_entry" .desktop)
deb=$build/mapfit_${version}_$(dpkg --print-architecture).deb

echo "=== cpack -G DEB"
rm -f "$deb"
(cd "$build" && cpack -G DEB >/dev/null)
dpkg-deb --field "$deb" Package Version Section Depends
listing=$(dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|')

echo "=== lintian"
# Errors and warnings fail. Notes (info level) that stay: the binary's .comment section
# (CPack strips without removing sections), no bindnow and no fortified functions (the build
# uses CMake's flags, not dpkg-buildflags), and the sample series taken for documentation
# (*.txt outside /usr/share/doc: they are data the program reads).
lintian -I --fail-on error,warning "$deb"

echo "=== apt-get install"
if dpkg-query -W -f='${Status}' mapfit 2>/dev/null | grep -q "install ok installed"; then
  echo "mapfit is installed already: remove it first (apt-get purge mapfit)" >&2
  exit 1
fi
installed=no
remove() { [ $installed = no ] || $sudo apt-get purge -y -qq mapfit </dev/null >/dev/null; }
trap remove EXIT
(cd "$build" && $sudo apt-get install -y -qq "./$(basename "$deb")" </dev/null >/dev/null)
installed=yes

echo "=== the installed program"
[ "$(/usr/bin/mapfit --version)" = "mapfit $version" ]
/usr/bin/mapfit --help | grep -qxF "Sample series to try: the files in /usr/share/mapfit/data"
bash tests/packaging/session_check.sh /usr/bin/mapfit /usr/share/mapfit/data/henon.txt
[ "$(man -w mapfit)" = /usr/share/man/man1/mapfit.1.gz ]
man --warnings mapfit 2>&1 >/dev/null | (! grep .)
desktop-file-validate "/usr/share/applications/$app_id.desktop"
appstreamcli validate --no-net "/usr/share/metainfo/$app_id.metainfo.xml"
bash -c 'source /usr/share/bash-completion/completions/mapfit && complete -p mapfit' >/dev/null
# The system's type database and menu cache took the entries in.
grep -qxF '40:text/x-mapfit-series:*.dat' /usr/share/mime/globs2
grep -qF "text/x-mapfit-series=$app_id.desktop" /usr/share/applications/mimeinfo.cache

echo "=== apt-get purge"
$sudo apt-get purge -y -qq mapfit </dev/null >/dev/null
installed=no
left=0
while IFS= read -r path; do
  case $path in
    */) ;;  # folders: only ours must go, below
    *) if [ -e "$path" ] || [ -L "$path" ]; then echo "left: $path"; left=1; fi ;;
  esac
done <<<"$listing"
for folder in /usr/share/mapfit /usr/share/doc/mapfit; do
  if [ -e "$folder" ]; then echo "left: $folder"; left=1; fi
done
# Nor anything the system made from it: the type database, the menu and icon caches.
if found=$(find /usr -name '*mapfit*' | grep .); then echo "left: $found"; left=1; fi
if found=$(grep -rlsF -e "$app_id" -e text/x-mapfit-series /usr/share/mime /usr/share/applications \
  /usr/share/icons /usr/share/metainfo); then
  echo "left, naming mapfit: $found"
  left=1
fi
[ $left -eq 0 ]
echo "=== the package installs, works and leaves nothing behind"
