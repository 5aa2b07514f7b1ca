#!/bin/sh
# The simulated controller and its stand-in apps, in a throw-away HOME: every
# accepted vector, the refusals, the fail and hang switches, and stand-ins that
# stop on TERM or only on KILL.
# Usage: sh tests/sim/sim_test.sh SIM_DIR
set -u
SIMDIR=$(cd "$1" && pwd)
TMP=$(mktemp -d "${TMPDIR:-/tmp}/sim_test.XXXXXX") || exit 1
HOME="$TMP/home"
VELDRIN_SYSTEM_ROOT="$TMP/root"
export HOME VELDRIN_SYSTEM_ROOT
SIM="$HOME/.sim"
CTL="$HOME/bin/veldrin"
TAB=$(printf '\t')
failed=0
trap 'for f in "$SIM"/apps/*; do kill -KILL "${f##*/}" 2>/dev/null; done; rm -rf "$TMP"' EXIT

bad() { failed=$((failed + 1)); echo "FAIL - $*"; }
expect() { # expect STATUS ARGS... -- the controller exits with STATUS
    want=$1
    shift
    "$CTL" "$@" </dev/null >"$TMP/out" 2>"$TMP/err"
    rc=$?
    [ "$rc" -eq "$want" ] || bad "[$*] exited $rc, not $want: $(cat "$TMP/err")"
}
apps() { "$CTL" app-processes 2>/dev/null | cut -f 2 | sort | tr '\n' ','; }
wait_for_apps() { # wait_for_apps LIST -- up to 5 s
    n=50
    while [ "$n" -gt 0 ] && [ "$(apps)" != "$1" ]; do sleep 0.1; n=$((n - 1)); done
    [ "$(apps)" = "$1" ] || bad "apps are [$(apps)], not [$1]"
}

for target in "$CTL" "$SIM/standin-app"; do
    mkdir -p "$(dirname "$target")"
done
cp "$SIMDIR/veldrin" "$CTL"
cp "$SIMDIR/standin-app" "$SIM/standin-app"
chmod 755 "$CTL" "$SIM/standin-app"
: >"$SIM/fast"

for v in now sync-all audit update-all fix-unreadable resolve-conflicts app-processes resume \
    "logs${TAB}10" "pause${TAB}paused from menu bar" "repair-projects${TAB}tri" "claude${TAB}sync" \
    "claude${TAB}close-sync" "cloud${TAB}status" "cloud${TAB}cycle" "cloud${TAB}mode${TAB}alt${TAB}both" \
    "cloud${TAB}offer${TAB}pri${TAB}demo project" "cloud${TAB}offer-chat${TAB}alt${TAB}c1" \
    "cloud${TAB}list-chats${TAB}pri" "cloud${TAB}join" "cloud${TAB}login"; do
    IFS=$TAB
    # shellcheck disable=SC2086 # split on tabs only
    set -- $v
    unset IFS
    expect 0 "$@"
    [ "$(tail -n 1 "$SIM/calls.log")" = "$v" ] || bad "[$v] logged as [$(tail -n 1 "$SIM/calls.log")]"
done
expect 2
expect 2 logs 5
expect 2 cloud mode pri sideways
grep -q '^veldrin: ' "$TMP/err" || bad "a refusal says why on stderr"

mkdir -p "$SIM/fail" "$SIM/hang"
echo 3 >"$SIM/fail/audit"
expect 3 audit
: >"$SIM/hang/now"
"$CTL" now >"$TMP/out" 2>&1 &
hung=$!
sleep 1
kill -0 "$hung" 2>/dev/null || bad "a hang switch keeps the command running"
kill -KILL "$hung" 2>/dev/null

sh "$SIMDIR/start-apps" </dev/null >/dev/null 2>&1 || bad "start-apps failed"
wait_for_apps "ChatGPT,ChatGPT Alt,ChatGPT Tri,"
for line in $("$CTL" app-processes | tr '\t ' '::'); do
    case $line in [0-9]*:ChatGPT*) ;; *) bad "app-processes line [$line]" ;; esac
done
for f in "$SIM"/apps/*; do kill -TERM "${f##*/}"; done
wait_for_apps "ChatGPT Tri," # the one that ignores TERM
for f in "$SIM"/apps/*; do kill -KILL "${f##*/}"; done
wait_for_apps ""

[ "$failed" -eq 0 ] && echo "sim: all passed"
[ "$failed" -eq 0 ]
