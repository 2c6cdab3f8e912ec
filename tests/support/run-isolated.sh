#!/usr/bin/env bash
# run-isolated.sh [--xvfb] -- COMMAND ARGS...
# Runs one test with a private HOME, XDG folders and TMPDIR (the settings store, debug logs and
# the single-instance socket and marker all live there), on the offscreen platform or, with
# --xvfb, on a private Xvfb display with Mesa's software OpenGL.
set -euo pipefail
use_xvfb=0
if [ "${1:-}" = "--xvfb" ]; then use_xvfb=1; shift; fi
[ "${1:-}" = "--" ] && shift

sandbox=$(mktemp -d "${TMPDIR:-/tmp}/velmoran-test.XXXXXX")
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$sandbox"
}
trap cleanup EXIT
mkdir -p "$sandbox"/{home,config,state,cache,data,runtime,tmp}
chmod 700 "$sandbox/runtime"
export HOME="$sandbox/home" XDG_CONFIG_HOME="$sandbox/config" XDG_STATE_HOME="$sandbox/state" \
       XDG_CACHE_HOME="$sandbox/cache" XDG_DATA_HOME="$sandbox/data" XDG_RUNTIME_DIR="$sandbox/runtime" \
       TMPDIR="$sandbox/tmp"
unset DBUS_SESSION_BUS_ADDRESS
export LC_ALL=C.UTF-8
# Test machines have no sound device; the engine plays into its null output.
export VELMORAN_AUDIO_OUTPUT=null
# The player's own servers (update check, sponsored content, yt-dlp download, thumbnails) point
# at a closed local port unless a test sets its fake: nothing reaches the internet, and the
# player must stay quiet when they cannot be reached.
for service in UPDATE ADS YTDLP YTIMG; do
    variable="VELMORAN_${service}_URL"
    export "$variable=${!variable:-http://127.0.0.1:1/}"
done

status=0
if [ "$use_xvfb" = 1 ]; then
    # -displayfd lets the server pick a free display itself, so parallel tests never race for one.
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$sandbox/display" 2>"$sandbox/xvfb.log" &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$sandbox/display" ] && break; sleep 0.1; done
    [ -s "$sandbox/display" ] || { echo "Xvfb did not start:"; cat "$sandbox/xvfb.log"; exit 1; }
    export DISPLAY=":$(head -n1 "$sandbox/display")" LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb
    "$@" || status=$?
else
    export QT_QPA_PLATFORM=offscreen
    "$@" || status=$?
fi
exit "$status"
