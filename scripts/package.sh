#!/bin/sh
# Builds the Debian package from the optimised build in build/ (the one
# scripts/test.sh tests, or $VELDRIN_BUILD_DIR), stripped on the way:
#   scripts/package.sh          ->  build-package/veldrin_<version>_<arch>.deb
#   scripts/package.sh --check  the same, then lintian, desktop-file-validate
#                               and appstreamcli on what the package holds
# Install it with `sudo apt install ./build-package/veldrin_*.deb`, remove it
# with `sudo apt remove veldrin`.
set -eu
cd "$(dirname "$0")/.."
CHECK=false
[ "${1:-}" = --check ] && CHECK=true
if $CHECK; then scripts/bootstrap.sh package; else scripts/bootstrap.sh; fi

BUILD_DIR="${VELDRIN_BUILD_DIR:-build}"
# Only what the package holds (after scripts/test.sh, nothing is left to do);
# a fresh configuration gets no sanitizer or other settings from the caller.
VELDRIN_BUILD_DIR="$BUILD_DIR" VELDRIN_CMAKE_ARGS="" scripts/build.sh --target veldrin veldrin_icons veldrin_docs
# Only an optimised build without instrumentation goes into a package.
if ! grep -Eq '^CMAKE_BUILD_TYPE:STRING=(Release|RelWithDebInfo)$' "$BUILD_DIR/CMakeCache.txt" ||
    grep -Eq '^VELDRIN_(SANITIZE|BUILD_FUZZ):BOOL=ON$' "$BUILD_DIR/CMakeCache.txt"; then
    echo "package.sh: $BUILD_DIR is not a plain optimised build; remove it and run again" >&2
    exit 1
fi

rm -f build-package/veldrin_*.deb
# The package's folders take their modes from the umask.
umask 022
cpack --config "$BUILD_DIR/CPackConfig.cmake" -B build-package
DEB=$(ls build-package/veldrin_*.deb)
echo "$(pwd)/$DEB"
$CHECK || exit 0

# Debian's own checker: whatever it prints is a fault to mend. Overrides, if
# ever needed, go in packaging/ and are installed by the package.
if ! found=$(lintian --allow-root "$DEB" 2>&1) || [ -n "$found" ]; then
    printf 'lintian %s:\n%s\n' "$DEB" "$found" >&2
    exit 1
fi
ROOT=$(mktemp -d)
trap 'rm -rf "$ROOT"' EXIT
dpkg-deb -x "$DEB" "$ROOT"
# desktop-file-validate prints only what is wrong, warnings included.
found=$(desktop-file-validate "$ROOT"/usr/share/applications/*.desktop 2>&1) || true
if [ -n "$found" ]; then
    printf 'desktop-file-validate:\n%s\n' "$found" >&2
    exit 1
fi
appstreamcli validate --no-net "$ROOT"/usr/share/metainfo/*.metainfo.xml
# The tree as installed: the metainfo's launchable names a desktop entry there.
appstreamcli validate-tree --no-net "$ROOT"
echo "$DEB: lintian, desktop-file-validate and appstreamcli find nothing to mend"
