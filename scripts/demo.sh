#!/bin/sh
# Installs what is missing, builds, and starts Veldrin in demo mode: a
# throw-away sandbox with a simulated controller; your own files are not touched.
set -eu
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
scripts/build.sh --target veldrin
BUILD_DIR="${VELDRIN_BUILD_DIR:-build}"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: printing the demo's status menu instead of showing the tray icon."
    exec "$BUILD_DIR/src/veldrin" --demo --print-menu
fi
echo "Veldrin is in your system tray (status bar). Quit it from its menu or with Ctrl-C."
exec "$BUILD_DIR/src/veldrin" --demo "$@"
