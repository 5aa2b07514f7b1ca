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
. scripts/demo-session.sh
trap 'stop_session; rm -rf "$WORK"' EXIT
die() {
    echo "screenshots: $*" >&2
    cat "$WORK"/*.log >&2
    exit 1
}

# shot NAME X Y W H: the region of the screen that shows what is open.
shot() { import -window root -crop "$4x$5+$2+$3" +repage "$OUT/$PANEL-$1.png"; }
shot_window() { import -window "$(newest_window "$2")" "$OUT/$PANEL-$1.png"; }
close_all() {
    xdotool key Escape Escape Escape
    sleep 0.3
}

run() { # PANEL TINT
    PANEL=$1
    start_display 1100x760 "$2" || die "no display or tray host"
    start_demo "$VELDRIN" || die "the demo did not start and dock its icon"
    HOMEDIR=$SANDBOX/home
    sleep 3 # the first answers of the controller

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
    hide_windows "Quit All ChatGPT Processes"
    # Ready, now that the apps are gone.
    sleep 5
    open_menu && shot menu-ready 640 0 460 620 && close_all
    # A log window after a run: Audit Profiles.
    open_menu && xdotool key Up Up Up Return && sleep 4
    shot_window window-audit "Veldrin Audit"
    hide_windows "Veldrin Audit"
    # Working: a run that lasts.
    mkdir -p "$HOMEDIR/.sim/hang" && : >"$HOMEDIR/.sim/hang/logs"
    open_menu && xdotool key Up Up Return && sleep 2
    hide_windows "Last 10 Veldrin Runs"
    open_menu && shot menu-working 640 0 460 620 && close_all
    # Paused, once that run is over.
    pkill -f "$HOMEDIR/bin/veldrin logs" || true
    sleep 2
    mkdir -p "$HOMEDIR/.codex" && echo "paused from menu bar" >"$HOMEDIR/.codex/.sync-paused"
    sleep 6
    open_menu && shot menu-paused 640 0 460 620 && close_all
    # The offer choice, its list open.
    open_menu && xdotool key Up Up Up Up Up Right Down Down Right Down Down Down Down Return && sleep 1.5
    eval "$(xdotool getwindowgeometry --shell "$(newest_window Veldrin)")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT - 53)) click 1
    sleep 0.7
    shot offer-project $((X - 8)) $((Y - 8)) $((WIDTH + 16)) $((HEIGHT + 100))
    close_all

    kill "$VELDRIN_PID"
    wait "$VELDRIN_PID" 2>/dev/null || true
    stop_session
    sleep 0.5
}

run light 0xeeeeee
run dark 0x2a2a2a
ls -1 "$OUT"
