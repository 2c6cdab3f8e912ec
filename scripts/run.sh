#!/usr/bin/env bash
# run.sh [FILE|URL ...]: installs what is missing, builds and starts the player.
# Without a display it starts on a private Xvfb screen (see the README).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    "$root/scripts/install-deps.sh" --xvfb
    echo "No display: running on a virtual Xvfb screen."
    exec xvfb-run -a -s "-screen 0 1920x1080x24" "$root/build/src/velmoran" "$@"
fi
exec "$root/build/src/velmoran" "$@"
