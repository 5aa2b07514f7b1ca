#!/bin/sh
# Regenerates the screenshots in docs/screenshots/ from the demo under Xvfb,
# once on a light and once on a dark panel: the menu in each state (ready,
# paused, blocked, working), the Cloud Sync and Tools submenus, a confirmation
# alert, a log window after a run, and the offer choice.
#   scripts/screenshots.sh [BINARY]     (default: build/src/veldrin, built first)
set -eu
cd "$(dirname "$0")/.."
OUT=docs/screenshots
if [ $# -ge 1 ]; then
    VELDRIN=$1
else
    scripts/bootstrap.sh
    scripts/build.sh --target veldrin >/dev/null
    VELDRIN=build/src/veldrin
fi
mkdir -p "$OUT"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/veldrin-shots.XXXXXX")
PIDS=""
cleanup() {
    for pid in $PIDS; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT
wait_for() { # tenths-of-a-second command...
    n=$1
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$n" -gt 0 ] || { echo "screenshots: gave up waiting for: $*" >&2; cat "$WORK"/*.log >&2; exit 1; }
        sleep 0.1
        n=$((n - 1))
    done
}

# shot NAME X Y W H: the region of the screen that shows what is open.
shot() { import -window root -crop "$4x$5+$2+$3" +repage "$OUT/$PANEL-$1.png"; }
# window NAME TITLE: one of Veldrin's windows by its title (alerts are titled Veldrin).
window() { xdotool search --onlyvisible --name "^$1\$" | sort -n | tail -1; }
shot_window() { import -window "$(window "$2")" "$OUT/$PANEL-$1.png"; }
hide() { for w in $(xdotool search --onlyvisible --name "^$1\$"); do xdotool windowunmap "$w"; done; }
open_menu() {
    xdotool mousemove "$ICON_X" "$ICON_Y" click 1
    sleep 0.7
}
close_all() {
    xdotool key Escape Escape Escape
    sleep 0.3
}

run() { # PANEL TINT
    PANEL=$1
    rm -f "$WORK/display"
    Xvfb -displayfd 3 -screen 0 1100x760x24 -nolisten tcp 3>"$WORK/display" 2>/dev/null &
    PIDS="$PIDS $!"
    wait_for 100 test -s "$WORK/display"
    DISPLAY=:$(cat "$WORK/display")
    export DISPLAY
    trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
        --transparent false --tint "$2" >"$WORK/trayer.log" 2>&1 &
    PIDS="$PIDS $!"
    wait_for 100 xdotool search --class trayer
    mkdir -p "$WORK/runtime" && chmod 700 "$WORK/runtime"
    XDG_RUNTIME_DIR="$WORK/runtime" QT_QPA_PLATFORM=xcb "$VELDRIN" --demo >"$WORK/veldrin.log" 2>&1 &
    VPID=$!
    PIDS="$PIDS $VPID"
    wait_for 100 grep -q "sandbox in" "$WORK/veldrin.log"
    HOMEDIR=$(sed -n 's/^Veldrin demo: sandbox in \(.*\) (removed.*/\1/p' "$WORK/veldrin.log")/home
    wait_for 150 sh -c "[ \$(xdotool search --onlyvisible --pid $VPID | wc -l) -ge 1 ]"
    sleep 4 # the first answers of the controller
    eval "$(xdotool getwindowgeometry --shell "$(xdotool search --onlyvisible --pid "$VPID" | head -1)")"
    ICON_X=$((X + WIDTH / 2))
    ICON_Y=$((Y + HEIGHT / 2))

    # Blocked: the three stand-in apps run.
    open_menu && shot menu-blocked 640 0 460 620 && close_all
    # The submenus, and the Cloud Sync one with a profile's modes open.
    open_menu && xdotool key Up Up Up Up Right && sleep 0.5
    shot tools 0 0 1100 760 && close_all
    open_menu && xdotool key Up Up Up Up Up Right Down Down Right && sleep 0.5
    shot cloud 0 0 1100 760 && close_all
    # A confirmation: Quit All, answered; its window once the apps have stopped.
    open_menu && xdotool key Up Up Up Up Up Up Up Up Return && sleep 1
    shot_window alert-quit-all Veldrin
    xdotool key Return
    sleep 7
    shot_window window-quit-all "Quit All ChatGPT Processes"
    hide "Quit All ChatGPT Processes"
    # Ready, now that the apps are gone.
    sleep 5
    open_menu && shot menu-ready 640 0 460 620 && close_all
    # A log window after a run: Audit Profiles.
    open_menu && xdotool key Up Up Up Return && sleep 4
    shot_window window-audit "Veldrin Audit"
    hide "Veldrin Audit"
    # Working: a run that lasts.
    mkdir -p "$HOMEDIR/.sim/hang" && : >"$HOMEDIR/.sim/hang/logs"
    open_menu && xdotool key Up Up Return && sleep 2
    hide "Last 10 Veldrin Runs"
    open_menu && shot menu-working 640 0 460 620 && close_all
    # Paused, once that run is over.
    pkill -f "$HOMEDIR/bin/veldrin logs" || true
    sleep 2
    mkdir -p "$HOMEDIR/.codex" && echo "paused from menu bar" >"$HOMEDIR/.codex/.sync-paused"
    sleep 6
    open_menu && shot menu-paused 640 0 460 620 && close_all
    # The offer choice, its list open.
    open_menu && xdotool key Up Up Up Up Up Right Down Down Right Down Down Down Down Return && sleep 1.5
    eval "$(xdotool getwindowgeometry --shell "$(window Veldrin)")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 53)) click 1
    sleep 0.7
    shot offer-project $((X - 8)) $((Y - 8)) $((WIDTH + 16)) $((HEIGHT + 100))
    close_all

    kill "$VPID"
    wait "$VPID" 2>/dev/null || true
    for pid in $PIDS; do kill "$pid" 2>/dev/null || true; done
    PIDS=""
    sleep 0.5
}

run light 0xeeeeee
run dark 0x2a2a2a
ls -1 "$OUT"
