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
# No system-wide settings either (QSettings falls back on $XDG_CONFIG_DIRS/Velmoran/...).
mkdir -p "$sandbox/config-dirs"
export XDG_CONFIG_DIRS="$sandbox/config-dirs"
unset DBUS_SESSION_BUS_ADDRESS
# PATH: the system's own folders only (no virtualenv, no ~/bin), without the programs whose mere
# presence changes what the player does: yt-dlp, and youtube-dl, which the engine's web-video
# hook falls back to (Debian's mpv pulls in yt-dlp). A test that wants one puts its own into
# $VELMORAN_TEST_BIN, which comes first. A folder holding a hidden program is replaced by a
# folder of links to everything else in it.
hidden=(yt-dlp yt-dlp_x86 youtube-dl)
mkdir -p "$sandbox/bin"
path="$sandbox/bin"
seen=()
for dir in /usr/local/sbin /usr/local/bin /usr/sbin /usr/bin /sbin /bin; do
    [ -d "$dir" ] || continue
    real=$(readlink -f "$dir")
    [[ " ${seen[*]} " == *" $real "* ]] && continue
    seen+=("$real")
    holds_hidden=0
    for name in "${hidden[@]}"; do [ -e "$real/$name" ] && holds_hidden=1; done
    if [ "$holds_hidden" = 0 ]; then
        path="$path:$real"
        continue
    fi
    view="$sandbox/path${real//\//_}"
    mkdir -p "$view"
    ln -s "$real"/* "$view"/
    for name in "${hidden[@]}"; do rm -f "$view/$name"; done
    path="$path:$view"
done
export PATH="$path" VELMORAN_TEST_BIN="$sandbox/bin"
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
