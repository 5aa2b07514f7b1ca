#!/bin/sh
# Installs, with apt, whatever Veldrin needs to build, run and test that is not
# on this machine yet; `bootstrap.sh bench` adds what the benchmarks need,
# `bootstrap.sh fuzz` what the fuzz targets need, `bootstrap.sh clang` the
# second compiler, `bootstrap.sh package` the
# checkers the Debian package goes through, `bootstrap.sh lint` Node.js and
# npm for the workflow linter.
# Does nothing when everything is there.
set -eu

PACKAGES="build-essential cmake ninja-build pkg-config clang-format
qt6-base-dev libgl-dev libplist-dev libdbus-1-dev libgtest-dev locales
xvfb trayer xdotool xclip imagemagick fonts-dejavu-core xterm dbus xdg-utils
qt6-wayland"
[ "${1:-}" = bench ] && PACKAGES="$PACKAGES libbenchmark-dev"
[ "${1:-}" = fuzz ] && PACKAGES="$PACKAGES clang"
[ "${1:-}" = clang ] && PACKAGES="$PACKAGES clang"
[ "${1:-}" = package ] && PACKAGES="$PACKAGES lintian appstream desktop-file-utils man-db"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
# Any Node.js with npm will do: Debian's, unless another one is already on the
# PATH (Debian's npm would clash with it).
if [ "${1:-}" = lint ] && ! command -v npm >/dev/null 2>&1; then
    missing="$missing nodejs npm"
fi
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
else
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
