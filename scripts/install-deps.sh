#!/usr/bin/env bash
# Installs the Debian 12 packages the player and its tests need; does nothing when all are there.
# install-deps.sh [--xvfb|--tests]
set -euo pipefail

packages=(build-essential cmake pkg-config
          qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-svg-dev libqt6svg6 libqt6sql6-sqlite qt6-webengine-dev
          qt6-qpa-plugins libmpv-dev libsqlite3-dev ffmpeg libgl1-mesa-dri libglx-mesa0 fonts-noto-cjk fonts-noto-color-emoji
          python3 python3-pocketsphinx pocketsphinx-en-us)
case "${1:-}" in
    --xvfb) packages+=(xvfb xauth) ;;
    --tests) packages+=(xvfb xauth clang libclang-rt-14-dev dbus-daemon chromium desktop-file-utils
                      espeak-ng ladspa-sdk openssl)
             # The cast test's device runs on Node.js (its npm package is fetched into the build tree
             # when the test first runs); a machine that has node and npm from elsewhere keeps them.
             if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
                 packages+=(nodejs npm)
             fi ;;
esac

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=
[ "$(id -u)" -ne 0 ] && sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
