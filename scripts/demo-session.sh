# The demo on a display of its own, as a person sees it: Xvfb, trayer as the
# tray host, `veldrin --demo` docked in it, and xdotool to reach its icon and
# windows. Sourced by the end-to-end test and the screenshot script; set WORK
# to a scratch folder first, and call stop_session when done.

SESSION_PIDS=""
VELDRIN_PID=""

# wait_for TENTHS COMMAND...: until the command succeeds, for at most TENTHS
# tenths of a second; fails when it never does.
wait_for() {
    tries=$1
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
        tries=$((tries - 1))
    done
}

# start_display WIDTHxHEIGHT TINT: Xvfb with trayer along its top edge, in the
# given colour; exports DISPLAY.
start_display() {
    rm -f "$WORK/display"
    Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
    SESSION_PIDS="$SESSION_PIDS $!"
    wait_for 100 test -s "$WORK/display" || return 1
    DISPLAY=:$(cat "$WORK/display")
    export DISPLAY
    # trayer paints its tint only when "transparent"; at alpha 0 it is opaque.
    trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
        --transparent true --alpha 0 --tint "$2" >"$WORK/trayer.log" 2>&1 &
    SESSION_PIDS="$SESSION_PIDS $!"
    wait_for 100 xdotool search --class trayer
}

# Veldrin's visible windows: the docked icon, then the menu, alerts and log windows.
visible_windows() { xdotool search --onlyvisible --pid "$VELDRIN_PID" 2>/dev/null | wc -l; }
icon_docked() { [ "$(visible_windows)" -ge 1 ]; }
menu_open() { [ "$(visible_windows)" -ge 2 ]; }

# start_demo BINARY: the demo, docked; sets VELDRIN_PID, SANDBOX (its sandbox
# folder), and ICON_X, ICON_Y, ICON_WIDTH (the icon's centre and width).
start_demo() {
    mkdir -p "$WORK/tmp" "$WORK/runtime" && chmod 700 "$WORK/runtime"
    TMPDIR="$WORK/tmp" XDG_RUNTIME_DIR="$WORK/runtime" QT_QPA_PLATFORM=xcb \
        "$1" --demo >"$WORK/veldrin.log" 2>&1 &
    VELDRIN_PID=$!
    wait_for 100 grep -q "sandbox in" "$WORK/veldrin.log" || return 1
    SANDBOX=$(sed -n 's/^Veldrin demo: sandbox in \(.*\) (removed.*/\1/p' "$WORK/veldrin.log")
    wait_for 150 icon_docked || return 1
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$(xdotool search --onlyvisible --pid "$VELDRIN_PID" | head -1)")"
    ICON_X=$((X + WIDTH / 2))
    ICON_Y=$((Y + HEIGHT / 2))
    ICON_WIDTH=$WIDTH
}

# A click on the icon, and time for the menu to be drawn.
open_menu() {
    xdotool mousemove "$ICON_X" "$ICON_Y" click 1
    wait_for 100 menu_open || return 1
    sleep 0.5
}

# newest_window TITLE: the last-made visible window of that title.
newest_window() { xdotool search --onlyvisible --name "^$1\$" | sort -n | tail -1; }
has_window() { [ -n "$(newest_window "$1")" ]; }
hide_windows() { for w in $(xdotool search --onlyvisible --name "^$1\$"); do xdotool windowunmap "$w"; done; }

# Ends the demo (if still running), the tray host and the display.
stop_session() {
    for pid in $VELDRIN_PID $SESSION_PIDS; do kill "$pid" 2>/dev/null || true; done
    sleep 0.3
    for pid in $VELDRIN_PID $SESSION_PIDS; do kill -9 "$pid" 2>/dev/null || true; done
    VELDRIN_PID=""
    SESSION_PIDS=""
}
