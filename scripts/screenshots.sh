#!/bin/sh
# Regenerates the screenshots in docs/screenshots/ from the demo under Xvfb,
# once on a light and once on a dark panel: the tray icon and the menu in each
# state (ready, paused, blocked, working), the Cloud Sync and Tools submenus,
# a confirmation alert, log windows (after a run, running, stopped, failed,
# with the find bar), Recent Runs, the offer choice, and (with dunst
# installed) a notification.
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
# With dunst at hand, a session bus of the script's own for the notifications.
BUS_PID=""
if command -v dunst >/dev/null 2>&1; then
    BUS=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
    DBUS_SESSION_BUS_ADDRESS=$(echo "$BUS" | head -1)
    BUS_PID=$(echo "$BUS" | tail -1)
    export DBUS_SESSION_BUS_ADDRESS
    trap 'stop_session; kill $BUS_PID; rm -rf "$WORK"' EXIT
    cat >"$WORK/dunstrc" <<'EOF'
[global]
    width = 420
    origin = top-right
    offset = 10x40
    font = DejaVu Sans 10
    mouse_left_click = do_action, close_current
    format = "<b>%s</b>\n%b"
    frame_width = 1
    frame_color = "#888888"
[urgency_normal]
    background = "#fbfbfb"
    foreground = "#202020"
    timeout = 0
EOF
fi
die() {
    echo "screenshots: $*" >&2
    import -window root "$OUT/failure.png" 2>/dev/null || true
    cat "$WORK"/*.log >&2
    exit 1
}

# shot NAME X Y W H: the region of the screen that shows what is open.
shot() { import -window root -crop "$4x$5+$2+$3" +repage "$OUT/$PANEL-$1.png"; }
# shot_icon STATE: the tray icon alone, on its panel, four times its size.
shot_icon() {
    import -window root -crop "${ICON_WIDTH}x32+$((ICON_X - ICON_WIDTH / 2))+0" +repage \
        -filter point -resize 400% "$OUT/$PANEL-icon-$1.png"
}
shot_window() {
    W=$(newest_window "$2")
    [ -n "$W" ] || die "no window \"$2\" for $PANEL-$1"
    import -window "$W" "$OUT/$PANEL-$1.png"
}
close_all() {
    xdotool key Escape Escape Escape
    sleep 0.3
}

run() { # PANEL TINT
    PANEL=$1
    start_display 1100x760 "$2" || die "no display or tray host"
    if [ -n "$BUS_PID" ]; then
        dunst -config "$WORK/dunstrc" >"$WORK/dunst.log" 2>&1 &
        SESSION_PIDS="$SESSION_PIDS $!"
    fi
    start_demo "$VELDRIN" || die "the demo did not start and dock its icon"
    HOMEDIR=$SANDBOX/home
    sleep 3 # the first answers of the controller

    # Blocked: the three stand-in apps run.
    shot_icon blocked
    open_menu && shot menu-blocked 640 0 460 620 && close_all
    # The submenus, and the Cloud Sync one with a profile's modes open.
    open_menu && xdotool key Up Up Up Up Up Right && sleep 0.5
    shot tools 0 0 1100 760 && close_all
    open_menu && xdotool key Up Up Up Up Up Up Right Down Down Right && sleep 0.5
    shot cloud 0 0 1100 760 && close_all
    # A confirmation: Quit All, answered; its window once the apps have stopped.
    open_menu && xdotool key Up Up Up Up Up Up Up Up Up Return && sleep 1
    shot_window alert-quit-all Veldrin
    xdotool key Return
    sleep 7
    shot_window window-quit-all "Quit All ChatGPT Processes"
    hide_windows "Quit All ChatGPT Processes"
    # Ready, now that the apps are gone.
    sleep 5
    shot_icon ready
    open_menu && shot menu-ready 640 0 460 620 && close_all
    # A log window after a run: Audit Profiles.
    open_menu && xdotool key Up Up Up Up Return && sleep 4
    shot_window window-audit "Veldrin Audit"
    # Find in it: every match highlighted, the current one selected.
    WINDOW=$(newest_window "Veldrin Audit")
    # Keys typed, not sent to the window: Qt would take Ctrl for held afterwards.
    xdotool windowfocus --sync "$WINDOW" key ctrl+f && sleep 0.3
    xdotool type sessions && xdotool key Return && sleep 0.5
    shot_window window-find "Veldrin Audit"
    hide_windows "Veldrin Audit"
    # Working: a run that lasts, and its window while it runs.
    mkdir -p "$HOMEDIR/.sim/hang" && : >"$HOMEDIR/.sim/hang/logs"
    open_menu && xdotool key Up Up Up Return && sleep 3
    shot_window window-running "Last 10 Veldrin Runs"
    hide_windows "Last 10 Veldrin Runs"
    shot_icon working
    open_menu && shot menu-working 640 0 460 620 && close_all
    # Its window back from Recent Runs (close_all's Escapes may have closed
    # it), then stopped from there: Ctrl+., then Return in the alert.
    open_menu && xdotool key Up Up Right Return && sleep 1
    WINDOW=$(newest_window "Last 10 Veldrin Runs")
    xdotool windowfocus --sync "$WINDOW" key ctrl+period && sleep 1
    xdotool key Return && sleep 2
    shot_window window-stopped "Last 10 Veldrin Runs"
    hide_windows "Last 10 Veldrin Runs"
    # Recent Runs, now that there are a few (and no notification in front).
    [ -z "$BUS_PID" ] || dunstctl close-all
    open_menu && xdotool key Up Up Right && sleep 0.5
    shot recent-runs 0 0 1100 760 && close_all
    # A failed run, its window closed while it goes on (it waits for its hang
    # switch): the notification, when a service shows one, brings it back.
    mkdir -p "$HOMEDIR/.sim/fail" "$HOMEDIR/.sim/hang" && echo 3 >"$HOMEDIR/.sim/fail/audit"
    : >"$HOMEDIR/.sim/hang/audit"
    open_menu && xdotool key Up Up Up Up Return
    wait_for 50 has_window "Veldrin Audit" || die "no window for the failing audit"
    xdotool windowfocus --sync "$(newest_window "Veldrin Audit")" key ctrl+w && sleep 0.5
    rm "$HOMEDIR/.sim/hang/audit" && sleep 2.5
    if [ -n "$BUS_PID" ]; then
        shot notification 640 30 460 110
        xdotool mousemove 880 70 click 1
    else
        open_menu && xdotool key Up Up Right Return
    fi
    wait_for 50 has_window "Veldrin Audit" || die "the failed audit's window did not come back"
    sleep 0.5
    shot_window window-failed "Veldrin Audit"
    hide_windows "Veldrin Audit"
    rm "$HOMEDIR/.sim/fail/audit"
    # Paused.
    mkdir -p "$HOMEDIR/.codex" && echo "paused from menu bar" >"$HOMEDIR/.codex/.sync-paused"
    sleep 6
    shot_icon paused
    open_menu && shot menu-paused 640 0 460 620 && close_all
    # The offer choice, its list in the alert.
    open_menu && xdotool key Up Up Up Up Up Up Right Down Down Right Down Down Down Down Return && sleep 1.5
    eval "$(xdotool getwindowgeometry --shell "$(newest_window Veldrin)")"
    shot offer-project $((X - 8)) $((Y - 8)) $((WIDTH + 16)) $((HEIGHT + 16))
    close_all

    kill "$VELDRIN_PID"
    wait "$VELDRIN_PID" 2>/dev/null || true
    stop_session
    sleep 0.5
}

run light 0xeeeeee
run dark 0x2a2a2a
ls -1 "$OUT"
