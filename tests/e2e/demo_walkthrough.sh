#!/bin/sh
# End to end, as a person would: start `veldrin --demo` under Xvfb with trayer
# as tray host, click the icon, pick "Audit Profiles" from the menu with the
# keyboard, read the log window's transcript through the clipboard; quit the
# three stand-in apps, answering the alert with Return; then quit from the menu.
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
. "$(dirname "$0")/../../scripts/demo-session.sh"
trap 'stop_session; rm -rf "$WORK"' EXIT

fail() {
    echo "FAIL: $*"
    import -display "$DISPLAY" -window root "$ARTIFACTS/e2e-failure.png" 2>/dev/null
    echo "--- veldrin output"
    cat "$WORK/veldrin.log" 2>/dev/null
    exit 1
}

start_display 1024x700 0xdddddd || { echo "SKIP: no display or tray host"; cat "$WORK"/*.log; exit 77; }
echo "display $DISPLAY"
start_demo "$VELDRIN" || fail "the demo did not start and dock its icon"
CALLS="$SANDBOX/home/.sim/calls.log"
echo "sandbox $SANDBOX, icon at $ICON_X,$ICON_Y"
[ "$ICON_WIDTH" -le 64 ] || fail "the docked icon is $ICON_WIDTH pixels wide"

# pick N [KEY]: open the menu, go N items up from the bottom and choose; answer
# the alert that follows with KEY.
pick() {
    open_menu || fail "clicking the icon opened no menu"
    import -window root "$ARTIFACTS/e2e-menu-$1.png"
    i=0
    while [ "$i" -lt "$1" ]; do xdotool key Up; i=$((i + 1)); done
    xdotool key Return
    [ -n "${2:-}" ] || return 0
    sleep 1
    import -window root "$ARTIFACTS/e2e-alert-$1.png"
    xdotool key "$2"
}
# The transcript, as a user would copy it: select all, copy, read the clipboard.
# transcript_ends WINDOW TEXT
transcript_ends() {
    xdotool windowfocus --sync "$1" key --window "$1" ctrl+a ctrl+c
    sleep 0.2
    xclip -o -selection clipboard >"$WORK/transcript" 2>/dev/null
    tail -c 200 "$WORK/transcript" | grep -q "$2"
}
transcript_done() { transcript_ends "$WINDOW" "Finished with exit code 0\.$"; }

# Audit Profiles, 4 up: Quit Veldrin, Recent Runs, Last 10 Sync Runs…, Audit Profiles.
BEFORE=$(wc -l <"$CALLS")
pick 4
wait_for 100 has_window "Veldrin Audit" || fail "no window titled Veldrin Audit appeared"
WINDOW=$(newest_window "Veldrin Audit")
wait_for 100 transcript_done || { cat "$WORK/transcript"; fail "the transcript did not end with the closing line"; }
# The closing line is preceded by an empty line: "\nFinished with exit code 0.\n".
tail -n 2 "$WORK/transcript" | head -1 | grep -q '^$' || fail "no blank line before the closing line"
import -window root "$ARTIFACTS/e2e-audit.png"
NEW_CALLS=$(tail -n +"$((BEFORE + 1))" "$CALLS" | grep -v '^app-processes$' | grep -v '^cloud	status$')
[ "$NEW_CALLS" = "audit" ] || fail "the controller received: $NEW_CALLS"
hide_windows "Veldrin Audit"

# Quit All ChatGPT Processes…, 9 up: the stand-in that ignores TERM needs KILL.
pick 9 Return
wait_for 100 has_window "Quit All ChatGPT Processes" || fail "no Quit All window appeared"
WINDOW=$(newest_window "Quit All ChatGPT Processes")
wait_for 150 transcript_ends "$WINDOW" "All ChatGPT processes have stopped\.$" ||
    { cat "$WORK/transcript"; fail "Quit All did not stop the three apps"; }
grep -q "^Force-quitting 1 process(es) that did not stop…$" "$WORK/transcript" || fail "no Force-quitting line"
import -window root "$ARTIFACTS/e2e-quit-all.png"
hide_windows "Quit All ChatGPT Processes"

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
