#!/bin/sh
# Exercises the simulated controller and the stand-in apps in a throw-away HOME.
# Usage: sh tests/sim/sim_test.sh SIM_DIR
# The scripts run under the shell running this test (or $SIM_SH when set).

if [ $# -ne 1 ] || [ ! -f "$1/veldrin" ]; then
    echo "usage: sh sim_test.sh SIM_DIR" >&2
    exit 2
fi
SIMDIR=$(cd "$1" && pwd)

if [ -n "${SIM_SH:-}" ]; then
    SH=$SIM_SH
elif [ -r "/proc/$$/exe" ] && SH=$(readlink "/proc/$$/exe") && [ -n "$SH" ]; then
    :
elif [ -n "${BASH_VERSION:-}" ]; then
    SH=$(command -v bash)
else
    SH=/bin/sh
fi

TMP=$(mktemp -d "${TMPDIR:-/tmp}/sim_test.XXXXXX") || exit 1
HOME="$TMP/home"
VELDRIN_SYSTEM_ROOT="$TMP/root"
export HOME VELDRIN_SYSTEM_ROOT
SIM="$HOME/.sim"
CTL="$HOME/bin/veldrin"
TAB=$(printf '\t')
PIDS=""
passed=0
failed=0

cleanup() {
    for f in "$SIM/apps"/*; do
        [ -f "$f" ] && PIDS="$PIDS ${f##*/}"
    done
    for p in $PIDS; do kill -KILL "$p" 2>/dev/null; done
    rm -rf "$TMP"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

ok() {
    passed=$((passed + 1))
    echo "ok - $1"
}
bad() {
    failed=$((failed + 1))
    echo "FAIL - $1"
}
check() { # check NAME COMMAND... -- passes when the command succeeds
    name=$1
    shift
    if "$@"; then ok "$name"; else bad "$name"; fi
}
same() { # same NAME ACTUAL EXPECTED
    if [ "$2" = "$3" ]; then ok "$1"; else bad "$1: got [$2], expected [$3]"; fi
}
contains() { # contains FILE TEXT -- some line of FILE holds TEXT
    grep -F -q -e "$2" "$1"
}

alive() { # running, and not merely waiting to be reaped
    kill -0 "$1" 2>/dev/null || return 1
    [ -r "/proc/$1/stat" ] || return 0
    st=$(cat "/proc/$1/stat" 2>/dev/null)
    case ${st##*) } in Z* | X*) return 1 ;; esac
    return 0
}
gone() { ! alive "$1"; }

wait_until() { # wait_until TENTHS COMMAND... -- poll until the command succeeds
    n=$1
    shift
    while [ "$n" -gt 0 ]; do
        "$@" && return 0
        sleep 0.1
        n=$((n - 1))
    done
    "$@"
}

install_script() { # install_script SOURCE TARGET -- runs under the shell being tested
    mkdir -p "$(dirname "$2")"
    { printf '#!%s\n' "$SH"; tail -n +2 "$1"; } >"$2"
    chmod 755 "$2"
}

joined() {
    j=""
    first=1
    for a in "$@"; do
        if [ "$first" = 1 ]; then j=$a; first=0; else j="$j$TAB$a"; fi
    done
    printf '%s' "$j"
}

run() { # run ARGS... -- the controller, output in $TMP/out and $TMP/err, status in $rc
    "$CTL" "$@" <"$TMP/in" >"$TMP/out" 2>"$TMP/err"
    rc=$?
}

last_call() { tail -n 1 "$SIM/calls.log"; }

vector() { # vector ARGS... -- an accepted vector: status 0, logged exactly, says something
    run "$@"
    label="vector [$(joined "$@")]"
    if [ "$rc" -ne 0 ]; then
        bad "$label: status $rc: $(cat "$TMP/err")"
    elif [ "$(last_call)" != "$(joined "$@")" ]; then
        bad "$label: logged as [$(last_call)]"
    elif [ "$1" != app-processes ] && [ ! -s "$TMP/out" ] && [ ! -s "$TMP/err" ]; then
        bad "$label: printed nothing"
    else
        ok "$label"
    fi
}

refused() { # refused ARGS... -- status 2 with a "veldrin: " message
    run "$@"
    label="refused [$(joined "$@")]"
    if [ "$rc" -ne 2 ]; then
        bad "$label: status $rc"
    elif ! grep -q '^veldrin: ' "$TMP/err"; then
        bad "$label: message [$(cat "$TMP/err")]"
    else
        ok "$label"
    fi
}

apps() { # the live stand-ins, as app-processes lists them
    "$CTL" app-processes </dev/null 2>/dev/null
}
app_pid() { # app_pid NAME
    apps | while IFS="$TAB" read -r p n; do
        [ "$n" = "$1" ] && echo "$p"
    done
}
listed() { apps | cut -f 2 | grep -x -F -q -e "$1"; }
unlisted() { ! listed "$1"; }

start_apps() { # start the stand-ins, reading the output to its end as the demo does
    rm -f "$TMP/sa.eof" "$TMP/sa.rc"
    { "$SH" "$SIMDIR/start-apps"; echo $? >"$TMP/sa.rc"; } 2>&1 </dev/null |
        { cat >"$TMP/sa.out"; : >"$TMP/sa.eof"; } &
    reader=$!
    if wait_until 100 test -f "$TMP/sa.eof"; then
        wait "$reader"
        ok "start-apps output ends"
    else
        bad "start-apps output still open after 10 s"
        PIDS="$PIDS $reader"
    fi
    same "start-apps status" "$(cat "$TMP/sa.rc" 2>/dev/null)" 0
    for p in $(apps | cut -f 1); do PIDS="$PIDS $p"; done
}

# --- sandbox ------------------------------------------------------------------

install_script "$SIMDIR/veldrin" "$CTL"
install_script "$SIMDIR/standin-app" "$VELDRIN_SYSTEM_ROOT/Applications/ChatGPT.app/Contents/MacOS/ChatGPT"
install_script "$SIMDIR/standin-app" "$HOME/Applications/ChatGPT Alt.app/Contents/MacOS/ChatGPT Alt"
install_script "$SIMDIR/standin-app" "$HOME/Applications/ChatGPT Tri.app/Contents/MacOS/ChatGPT Tri"
install_script "$SIMDIR/standin-app" "$SIM/standin-app"
echo "me@example.com" >"$TMP/in"
echo "# scripts run by $SH"

# --- every accepted vector ----------------------------------------------------

: >"$SIM/fast"
for v in now sync-all audit update-all fix-unreadable resolve-conflicts app-processes; do
    vector "$v"
done
for v in sync import quit close-sync; do vector claude "$v"; done
vector logs 10
for t in primary alt tri; do vector repair-projects "$t"; done
vector pause "paused from menu bar"
vector resume
vector cloud status
vector cloud cycle
for k in pri alt tri; do
    for m in up down both off; do vector cloud mode "$k" "$m"; done
done
vector cloud offer pri "demo project"
vector cloud offer-chat alt chat-alt-0001
for k in pri alt tri; do vector cloud list-chats "$k"; done
vector cloud join
vector cloud login

# --- refused vectors ------------------------------------------------------------

refused
refused logs 5
refused cloud mode pri sideways
same "a refused call is still logged" "$(last_call)" "cloud${TAB}mode${TAB}pri${TAB}sideways"

# --- pause marker and Claude sync -----------------------------------------------

run pause "paused from menu bar"
check "pause creates the marker" test -f "$HOME/.codex/.sync-paused"
same "the marker holds the reason" "$(cat "$HOME/.codex/.sync-paused")" "paused from menu bar"
run claude sync
check "claude sync while paused says paused" contains "$TMP/out" "paused"
same "claude sync while paused exits 0" "$rc" 0
run resume
check "resume removes the marker" test ! -e "$HOME/.codex/.sync-paused"
run resume
same "resume without a marker exits 0" "$rc" 0
run claude sync
check "claude sync reports transcripts" grep -q -x "Transcripts written: 3" "$TMP/out"
check "claude sync does not say paused" test -z "$(grep paused "$TMP/out")"

# --- failure switch --------------------------------------------------------

mkdir -p "$SIM/fail"
echo 3 >"$SIM/fail/audit"
run audit
same "a fail switch sets the status" "$rc" 3
check "the failure is told on stderr" grep -q '^veldrin: ' "$TMP/err"
same "the failing call is logged" "$(last_call)" "audit"
rm -f "$SIM/fail/audit"
: >"$SIM/fail/cloud-status"
run cloud status
same "an empty fail switch means status 1" "$rc" 1
rm -f "$SIM/fail/cloud-status"

# --- stand-in apps ----------------------------------------------------------------------

run app-processes
check "no stand-ins, no lines" test ! -s "$TMP/out"
start_apps
same "three stand-ins are listed" "$(apps | wc -l | tr -d ' ')" 3
check "each line is a pid, a tab and a name" test -z "$(apps | grep -E -v "^[0-9]+${TAB}ChatGPT( Alt| Tri)?\$")"
for n in "ChatGPT" "ChatGPT Alt" "ChatGPT Tri"; do
    check "$n is listed" listed "$n"
done
pri=$(app_pid "ChatGPT")
tri=$(app_pid "ChatGPT Tri")
check "listed pids are live" alive "$pri"

kill -TERM "$pri"
check "TERM ends a stand-in" wait_until 50 unlisted "ChatGPT"
check "which unregisters itself" test ! -e "$SIM/apps/$pri"
kill -TERM "$tri"
sleep 1.5
check "the TERM-ignoring stand-in survives TERM" listed "ChatGPT Tri"
kill -KILL "$tri"
check "KILL ends it" wait_until 50 unlisted "ChatGPT Tri"
check "and its stale registration is dropped" test ! -e "$SIM/apps/$tri"
check "the other stand-in is untouched" listed "ChatGPT Alt"

all=$(apps | cut -f 1)

rm -rf "$SIM"
for p in $all; do
    check "stand-in $p leaves once the sandbox is gone" wait_until 50 gone "$p"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
