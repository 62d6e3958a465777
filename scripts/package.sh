#!/usr/bin/env bash
# Builds the Debian package: installs what is missing, builds the default preset, makes the
# .deb with CPack and checks it with lintian. Prints where the package is.
# Install it afterwards with: sudo apt-get install ./build/package/tq50r_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
rm -f build/package/tq50r_*.deb
(cd build && cpack -G DEB)
deb=$(ls build/package/tq50r_*.deb)
lintian --fail-on error "$deb"
echo "Package: $deb"
