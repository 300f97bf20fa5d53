#!/usr/bin/env bash
# Installs what is needed, builds Release, runs the tests that need no display, builds the Debian
# package with CPack and checks it with lintian. The package lands in build-package/.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/common.sh"

"$ROOT/scripts/setup.sh"
BUILD="$ROOT/build-package"
build_tree "$BUILD" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DONDREL_BENCH=OFF

cd "$BUILD"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --label-regex unit --parallel "$(nproc)"
cpack -G DEB >/dev/null
deb=$(ls -t ./*.deb | head -1)
echo "package: $BUILD/${deb#./}"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
dpkg-deb --contents "$deb" | awk '{print $6}'
# Errors fail the script; warnings are listed.
lintian --tag-display-limit 0 "$deb" || { echo "lintian found errors" >&2; exit 1; }
