#!/usr/bin/env bash
# Installs the Debian packages that building and testing mapfit needs, only those missing
# (help2man makes the manual page; the validators and lintian check the packaging).
# Further package names may be given as arguments (the fuzzing script adds clang).
set -euo pipefail
pkgs=(cmake g++ make libgtest-dev libbenchmark-dev libfreetype-dev libfontconfig-dev libpng-dev
      fonts-liberation fonts-dejavu-core qt6-base-dev qt6-svg-dev xvfb xauth xdotool imagemagick
      help2man man-db dpkg-dev desktop-file-utils appstream shared-mime-info libxml2-utils lintian
      nlohmann-json3-dev "$@")
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: ${missing[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" </dev/null >&2
fi
