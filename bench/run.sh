#!/usr/bin/env bash
# Measures the player against bare mpv (start-up, first frame, playback CPU, memory, seeks) on one
# private Xvfb and writes the Markdown table to bench/results/latest.md.
#   bench/run.sh [bench.py options, e.g. --runs 3 --play-runs 1 --only first_frame,seek]
# Builds a Release player into build-bench/ (BENCH_BUILD_DIR to change); generated clips and
# per-run sandboxes go to build-bench/bench-work/ (BENCH_WORK_DIR), never into the repository.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD_DIR:-$root/build-bench}
work=${BENCH_WORK_DIR:-$build/bench-work}

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

[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --parallel "$(nproc)" --target velmoran
mkdir -p "$build/bench" "$work"
gcc -O2 -Wall -Wextra -o "$build/bench/frame_probe" "$root/bench/frame_probe.c" -lX11

exec python3 "$root/bench/bench.py" --player "$build/src/velmoran" --probe "$build/bench/frame_probe" \
    --work "$work" --out "$root/bench/results/latest.md" "$@"
