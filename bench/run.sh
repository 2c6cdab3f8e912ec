#!/usr/bin/env bash
# Measures the player against bare mpv (start-up, first frame, playback CPU, memory, seeks) on one
# private Xvfb, the media library's scan against `find` and its search, and the multi-view's cost
# with 1, 2 and 4 clips, music mode's idle cost and the seek-bar preview's latency, and writes the
# Markdown tables to bench/results/latest.md.
#   bench/run.sh [bench.py options, e.g. --runs 3 --play-runs 1 --only first_frame,seek]
#   bench/run.sh --only library    (no window, no mpv: only the library tool is built)
#   bench/run.sh --only multiview  (1, 2 and 4 clips side by side in the multi-view)
#   bench/run.sh --only musicview [--musicview-seconds S]  (music view and mini player, playing and paused)
#   bench/run.sh --only seekpreview [--seekpreview-hovers N]  (seek-bar preview latency, 1080p, 2 s and 10 s keyframes)
#   bench/run.sh --only memory [--memory-runs N]  (150 s of switching a 30-entry queue, RSS every 60 actions)
# Builds a Release player into build-bench/ (BENCH_BUILD_DIR to change); generated clips and
# per-run sandboxes go to build-bench/bench-work/ (BENCH_WORK_DIR), never into the repository.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
work=${BENCH_WORK_DIR:-$build/bench-work}

# The library measures alone need neither a display nor the reference player.
library_only=0
[[ " $* " =~ \ --only[=\ ]library\  ]] && library_only=1

if [ "$library_only" = 0 ]; then
    "$root/scripts/install-deps.sh" --xvfb
    # The bench's own tools: the reference player, the probe's X11 headers, glxinfo for the report.
    missing=()
    for package in mpv libx11-dev mesa-utils python3 gcc; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        sudo=
        [ "$(id -u)" -ne 0 ] && sudo=sudo
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
else
    "$root/scripts/install-deps.sh"
fi

[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
mkdir -p "$build/bench" "$work"
if [ "$library_only" = 0 ]; then
    cmake --build "$build" --parallel "$(nproc)" --target velmoran velmoran_library_bench velmoran_multiview_bench \
        velmoran_musicview_bench velmoran_seekpreview_bench
    gcc -O2 -Wall -Wextra -o "$build/bench/frame_probe" "$root/bench/frame_probe.c" -lX11
    exec python3 "$root/bench/bench.py" --player "$build/src/velmoran" --probe "$build/bench/frame_probe" \
        --library-tool "$build/bench/velmoran_library_bench" --multiview-tool "$build/bench/velmoran_multiview_bench" \
        --musicview-tool "$build/bench/velmoran_musicview_bench" --seekpreview-tool "$build/bench/velmoran_seekpreview_bench" \
        --work "$work" --out "$root/bench/results/latest.md" "$@"
fi
cmake --build "$build" --parallel "$(nproc)" --target velmoran_library_bench
exec python3 "$root/bench/bench.py" --library-tool "$build/bench/velmoran_library_bench" \
    --work "$work" --out "$root/bench/results/latest.md" "$@"
