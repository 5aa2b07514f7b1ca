#!/bin/sh
# End to end, as a person would: start `veldrin --demo` under Xvfb with trayer
# as tray host, click the icon, pick "Audit Profiles" from the menu with the
# keyboard, read the log window's transcript through the clipboard; quit the
# three stand-in apps and run the upgrade, answering the alerts with Return and
# Escape; pick a cloud mode; then quit from the menu.
#
# usage: demo_walkthrough.sh VELDRIN_BINARY ARTIFACT_DIR
set -u

VELDRIN=$1
ARTIFACTS=$2
mkdir -p "$ARTIFACTS"

for tool in Xvfb trayer xdotool xclip import; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/veldrin-e2e.XXXXXX")
XVFB_PID=""
TRAYER_PID=""
VELDRIN_PID=""
cleanup() {
    for pid in $VELDRIN_PID $TRAYER_PID $XVFB_PID; do kill "$pid" 2>/dev/null; done
    sleep 0.3
    for pid in $VELDRIN_PID $TRAYER_PID $XVFB_PID; do kill -9 "$pid" 2>/dev/null; done
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    import -display "$DISPLAY" -window root "$ARTIFACTS/e2e-failure.png" 2>/dev/null
    echo "--- veldrin output"
    cat "$WORK/veldrin.log" 2>/dev/null
    exit 1
}

# Waits up to $1 tenths of a second for the command in the remaining arguments.
wait_for() {
    tries=$1
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
        tries=$((tries - 1))
    done
}

# A display of our own.
Xvfb -displayfd 3 -screen 0 1024x700x24 -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
wait_for 100 test -s "$WORK/display" || { echo "SKIP: Xvfb did not start"; cat "$WORK/xvfb.log"; exit 77; }
DISPLAY=:$(cat "$WORK/display")
export DISPLAY
echo "display $DISPLAY"

trayer --edge top --align right --widthtype request --height 32 --SetDockType true --transparent false \
    --tint 0xdddddd >"$WORK/trayer.log" 2>&1 &
TRAYER_PID=$!
wait_for 100 xdotool search --class trayer || fail "trayer did not come up"

mkdir -p "$WORK/tmp" "$WORK/runtime"
chmod 700 "$WORK/runtime"
TMPDIR="$WORK/tmp" XDG_RUNTIME_DIR="$WORK/runtime" QT_QPA_PLATFORM=xcb \
    "$VELDRIN" --demo >"$WORK/veldrin.log" 2>&1 &
VELDRIN_PID=$!

wait_for 100 grep -q "sandbox in" "$WORK/veldrin.log" || fail "no sandbox reported"
SANDBOX=$(sed -n 's/^Veldrin demo: sandbox in \(.*\) (removed.*/\1/p' "$WORK/veldrin.log")
CALLS="$SANDBOX/home/.sim/calls.log"
echo "sandbox $SANDBOX"

# Veldrin's visible windows: the docked icon, then the menu or log windows.
visible_windows() { xdotool search --onlyvisible --pid "$VELDRIN_PID" 2>/dev/null | wc -l; }
icon_docked() { [ "$(visible_windows)" -ge 1 ]; }
menu_open() { [ "$(visible_windows)" -ge 2 ]; }
wait_for 150 icon_docked || fail "the icon never docked in the tray"
sleep 1
ICON=$(xdotool search --onlyvisible --pid "$VELDRIN_PID" | head -1)
eval "$(xdotool getwindowgeometry --shell "$ICON")"
ICON_X=$((X + WIDTH / 2))
ICON_Y=$((Y + HEIGHT / 2))
echo "icon at $ICON_X,$ICON_Y"
[ "$WIDTH" -le 64 ] || fail "the docked icon is $WIDTH pixels wide"

open_menu() {
    xdotool mousemove "$ICON_X" "$ICON_Y" click 1
    wait_for 100 menu_open || fail "clicking the icon opened no menu"
    sleep 0.3
}
# pick N [KEY]: open the menu, go N items up from the bottom and choose; answer
# the alert that follows with KEY.
pick() {
    open_menu
    import -window root "$ARTIFACTS/e2e-menu-$1.png"
    i=0
    while [ "$i" -lt "$1" ]; do xdotool key Up; i=$((i + 1)); done
    xdotool key Return
    [ -n "${2:-}" ] || return 0
    sleep 1
    import -window root "$ARTIFACTS/e2e-alert-$1.png"
    xdotool key "$2"
}
# newest_window TITLE: the last-made visible window of that title.
newest_window() { xdotool search --onlyvisible --name "^$1\$" | sort -n | tail -1; }
has_window() { [ -n "$(newest_window "$1")" ]; }
hide_windows() { for w in $(xdotool search --onlyvisible --name "^$1\$"); do xdotool windowunmap "$w"; done; }
# The transcript, as a user would copy it: select all, copy, read the clipboard.
# transcript_ends WINDOW TEXT
transcript_ends() {
    xdotool windowfocus --sync "$1" key --window "$1" ctrl+a ctrl+c
    sleep 0.2
    xclip -o -selection clipboard >"$WORK/transcript" 2>/dev/null
    tail -c 200 "$WORK/transcript" | grep -q "$2"
}
transcript_done() { transcript_ends "$WINDOW" "Finished with exit code 0\.$"; }

# Audit Profiles, 3 up: Quit Veldrin, Last 10 Sync Runs…, Audit Profiles.
BEFORE=$(wc -l <"$CALLS")
pick 3
wait_for 100 has_window "Veldrin Audit" || fail "no window titled Veldrin Audit appeared"
WINDOW=$(newest_window "Veldrin Audit")
wait_for 100 transcript_done || { cat "$WORK/transcript"; fail "the transcript did not end with the closing line"; }
echo "--- transcript"
cat "$WORK/transcript"
echo "---"
# The closing line is preceded by an empty line: "\nFinished with exit code 0.\n".
tail -n 2 "$WORK/transcript" | head -1 | grep -q '^$' || fail "no blank line before the closing line"
import -window root "$ARTIFACTS/e2e-audit.png"
NEW_CALLS=$(tail -n +"$((BEFORE + 1))" "$CALLS" | grep -v '^app-processes$' | grep -v '^cloud	status$')
[ "$NEW_CALLS" = "audit" ] || fail "the controller received: $NEW_CALLS"
hide_windows "Veldrin Audit"

# The background Claude sync runs 20 s after the start, when no other run is
# going on, without a window; the next menu shows its outcome (e2e-menu-8.png).
wait_for 250 grep -q "^claude	sync$" "$CALLS" || fail "no background Claude sync 20 s after the start"
sleep 1

# Quit All ChatGPT Processes…, 8 up: the stand-in that ignores TERM needs KILL.
pick 8 Return
wait_for 100 has_window "Quit All ChatGPT Processes" || fail "no Quit All window appeared"
WINDOW=$(newest_window "Quit All ChatGPT Processes")
wait_for 150 transcript_ends "$WINDOW" "All ChatGPT processes have stopped\.$" ||
    { cat "$WORK/transcript"; fail "Quit All did not stop the three apps"; }
grep -q "^Force-quitting 1 process(es) that did not stop…$" "$WORK/transcript" || fail "no Force-quitting line"
import -window root "$ARTIFACTS/e2e-quit-all.png"
hide_windows "Quit All ChatGPT Processes"

# Upgrade to Latest, 6 up: Escape cancels; Return stops the apps and runs the upgrade.
pick 6 Escape
sleep 1
! has_window "Upgrade to Latest" || fail "Escape on the alert still started the upgrade"
pick 6 Return
wait_for 150 grep -q "^update-all$" "$CALLS" || fail "the upgrade never reached the controller"
wait_for 100 sh -c "[ \$(xdotool search --onlyvisible --name '^Upgrade to Latest\$' | wc -l) -eq 2 ]" ||
    fail "the upgrade did not open its two windows"
WINDOW=$(newest_window "Upgrade to Latest")
wait_for 150 transcript_done || { cat "$WORK/transcript"; fail "the upgrade run did not finish"; }
hide_windows "Upgrade to Latest"

# Cloud Sync — …, 5 up; in its submenu Alt Target is 3 down from the first
# choice, and Down Sync Only 1 down in its own.
open_menu
xdotool key Up Up Up Up Up Right Down Down Down Right Down Return
wait_for 150 grep -q "^cloud	mode	alt	down$" "$CALLS" || fail "the mode change never reached the controller"
wait_for 100 has_window "Alt Cloud Mode" || fail "no Alt Cloud Mode window"
WINDOW=$(newest_window "Alt Cloud Mode")
wait_for 100 transcript_done || { cat "$WORK/transcript"; fail "the mode change did not finish"; }
hide_windows "Alt Cloud Mode"

# Quit from the menu: Veldrin ends and takes its sandbox with it.
pick 1
wait_for 100 sh -c "! kill -0 $VELDRIN_PID" || fail "Quit Veldrin did not quit"
wait "$VELDRIN_PID"
STATUS=$?
VELDRIN_PID=""
[ "$STATUS" -eq 0 ] || fail "Veldrin exited with $STATUS"
[ ! -e "$SANDBOX" ] || fail "the sandbox was left behind"

echo "e2e walkthrough passed"
exit 0
