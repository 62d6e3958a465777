#!/usr/bin/env bash
# Installs every Debian package the project needs; does nothing when all are present.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  libudev-dev
  xvfb xauth fonts-dejavu-core fonts-droid-fallback
  iproute2 locales
  qt6-svg-dev
  dpkg-dev lintian desktop-file-utils appstream help2man gzip mount
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# The locale with a decimal comma that the tests of locale-independent number formatting run
# under (from the locales package): without it they fail.
has_comma_locale() { locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; }
if ! has_comma_locale; then
  $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8 || true
fi
if ! has_comma_locale; then
  echo "install-deps: the de_DE.UTF-8 locale could not be made (localedef from 'locales')" >&2
  exit 1
fi
