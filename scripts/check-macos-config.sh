#!/bin/sh
# Configures the macOS branch of the build files here, without a Mac or an SDK
# (scripts/macos-config-check.cmake), into build-macos-config/, and checks what
# that configuration would build: the Apple sources (Objective-C++ under ARC
# where they are .mm) and none of src/platform/linux, the frameworks instead of
# Qt D-Bus, an Info.plist whose identifier is the one the LaunchAgent uses, no
# Linux-only test, and Apple sources that reach no Linux-only header. Nothing
# is compiled: whether the Apple code builds is for the macOS job of
# .github/workflows/ci.yml to say.
set -eu
cd "$(dirname "$0")/.."
scripts/bootstrap.sh
BUILD=build-macos-config
rm -rf "$BUILD"
fail() {
    echo "check-macos-config.sh: $*" >&2
    exit 1
}
LOG=$(mktemp)
trap 'rm -f "$LOG"' EXIT
if ! cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    --toolchain "$(pwd)/scripts/macos-config-check.cmake" >"$LOG" 2>&1; then
    cat "$LOG" >&2
    fail "the macOS configuration fails"
fi
if grep -q "CMake Warning\|CMake Deprecation Warning" "$LOG"; then
    cat "$LOG" >&2
    fail "the macOS configuration warns"
fi

compiled=$(sed -n 's/^ *"file": "\(.*\)",*$/\1/p' "$BUILD/compile_commands.json")
for source in src/platform/macos/*; do
    echo "$compiled" | grep -qx "$(pwd)/$source" || fail "$source is not compiled on macOS"
done
if echo "$compiled" | grep "/src/platform/linux/"; then
    fail "Linux-only sources are compiled on macOS"
fi
for source in src/platform/macos/*.mm; do
    grep -q "^build [^:]*$(basename "$source").o: OBJCXX_COMPILER" "$BUILD/build.ninja" ||
        fail "$source is not compiled as Objective-C++"
done
grep -q "^  FLAGS = .*-fobjc-arc" "$BUILD/build.ninja" || fail "no source is compiled with ARC"
grep -q "^  \(LINK_LIBRARIES\|INCLUDES\|DEFINES\) = .*DBus" "$BUILD/build.ninja" &&
    fail "something uses Qt D-Bus on macOS"
link=$(awk '/^build src\/Veldrin.app\/Contents\/MacOS\/Veldrin:/ { f = 1 } f && /LINK_LIBRARIES/ { print; exit }' \
    "$BUILD/build.ninja")
for framework in AppKit CoreFoundation IOKit UserNotifications; do
    echo "$link" | grep -q -- "-framework $framework" || fail "Veldrin does not link $framework"
done

# The configured Info.plist, one key at a time.
PLIST="$BUILD/src/Veldrin.app/Contents/Info.plist"
[ -f "$PLIST" ] || fail "no $PLIST"
value() {
    sed -n "/<key>$1<\/key>/{n;s/^ *<[a-z]*>\(.*\)<\/[a-z]*> *$/\1/p;s/^ *<\(true\|false\)\/> *$/\1/p;}" "$PLIST"
}
grep -q '\${' "$PLIST" && fail "$PLIST keeps a placeholder"
version=$(sed -n 's/^project(Veldrin VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ "$(value CFBundleExecutable)" = Veldrin ] || fail "CFBundleExecutable is not Veldrin"
[ "$(value CFBundleShortVersionString)" = "$version" ] || fail "CFBundleShortVersionString is not $version"
[ "$(value LSUIElement)" = true ] || fail "LSUIElement is not true"
[ -n "$(value NSAppleEventsUsageDescription)" ] || fail "no NSAppleEventsUsageDescription"
id=$(value CFBundleIdentifier)
grep -q "VELDRIN_BUNDLE_ID=[\\\"]*$id[\\\"]*" "$BUILD/compile_commands.json" ||
    fail "the LaunchAgent's label is not the bundle identifier $id"

tests=$(cd "$BUILD" && ctest -N)
for linux_only in layering_rejects_widget_in_core e2e_demo_walkthrough veldrin_platform_tests; do
    echo "$tests" | grep -q "$linux_only" && fail "$linux_only is registered on macOS"
done

# The Apple sources and every project header they reach: nothing Linux-only.
seen=""
scan() {
    case " $seen " in *" $1 "*) return ;; esac
    seen="$seen $1"
    for header in $(sed -n 's/^[#]\(include\|import\) *[<"]\([^>"]*\)[>"].*/\2/p' "$1"); do
        case "$header" in
        platform/linux/* | linux/* | sys/syscall.h | sys/prctl.h | sys/epoll.h | sys/inotify.h | \
            sys/eventfd.h | sys/signalfd.h | QtDBus* | QDBus*)
            fail "$1 includes $header, which macOS does not have" ;;
        esac
        if [ -f "src/$header" ]; then scan "src/$header"; fi
    done
}
for source in src/platform/macos/*; do
    scan "$source"
done
echo "check-macos-config.sh: the macOS configuration holds ($(echo "$compiled" | wc -l) sources, identifier $id)"
