#!/usr/bin/env bash
# check-package.sh BUILD_DIR SOURCE_DIR VERSION
# Checks what reaches a user's machine: the desktop entry, an install into a fresh prefix, and the
# Debian package built by CPack from the same build tree, including that every package it
# depends on exists on this Debian release and that no library the binary links is left out.
set -euo pipefail
build=$1 source=$2 version=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/velmoran-package.XXXXXX")
trap 'rm -rf "$work"' EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

sizes=(16 22 24 32 48 64 128 256)
expected_files=(bin/velmoran share/applications/velmoran.desktop share/icons/hicolor/scalable/apps/velmoran.svg
    share/velmoran/whisper_server.py)
for size in "${sizes[@]}"; do
    expected_files+=("share/icons/hicolor/${size}x${size}/apps/velmoran.png")
done
# The streaming page's browser module, where the build found Qt WebEngine for it.
binaries=("$build/src/velmoran")
if [ -f "$build/src/velmoran_webbrowser.so" ]; then
    expected_files+=(lib/velmoran/velmoran_webbrowser.so)
    binaries+=("$build/src/velmoran_webbrowser.so")
fi

# PNG width and height sit big-endian at bytes 16..23 of the header.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}'; }

desktop=$source/packaging/velmoran.desktop
command -v desktop-file-validate >/dev/null || { echo "desktop-file-validate missing (Debian package desktop-file-utils)"; exit 1; }
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
grep -qx 'Exec=velmoran %U' "$desktop" || fail "the entry does not start velmoran with the opened files"
grep -qx 'Icon=velmoran' "$desktop" || fail "the entry's icon is not the installed velmoran icon"

echo "== install into a fresh prefix"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; exit 1; }
for file in "${expected_files[@]}"; do
    [ -s "$prefix/$file" ] || fail "not installed: $file"
done
for size in "${sizes[@]}"; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/velmoran.png
    [ -s "$icon" ] && [ "$(png_size "$icon")" = "${size}x${size}" ] || fail "icon in ${size}x${size} is $(png_size "$icon")"
done
[ -x "$prefix/bin/velmoran" ] || fail "installed binary is not executable"
# Asked for its version, the installed player answers without any display at all.
answer=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$prefix/bin/velmoran" --version) \
    || fail "velmoran --version exited with $?"
[ "$answer" = "Velmoran $version" ] || fail "velmoran --version printed '$answer'"

echo "== Debian package"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; exit 1; }
debs=("$work"/package/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "cpack made no single .deb"; cat "$work/cpack.log"; exit 1; }
deb=${debs[0]}
echo "$(basename "$deb")"
[ "$(dpkg-deb -f "$deb" Package)" = velmoran ] || fail "package name is $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is $(dpkg-deb -f "$deb" Version)"
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in "${expected_files[@]}"; do
    grep -qx "./usr/$file" <<<"$contents" || fail "the package lacks /usr/$file"
done

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
mapfile -t names < <(tr ',' '\n' <<<"$depends" | sed 's/(.*)//; s/[[:space:]]//g' | grep -v '^$')
for name in "${names[@]}"; do
    candidate=$(apt-cache policy "$name" | awk '/Candidate:/{print $2}')
    [ -n "$candidate" ] && [ "$candidate" != "(none)" ] || fail "dependency $name has no installation candidate"
done
# The versions too: apt resolves the whole package as if installing it.
if ! apt-get install --simulate --no-install-recommends -o Debug::NoLocking=1 "$deb" >"$work/apt.log" 2>&1; then
    cat "$work/apt.log"
    fail "apt cannot satisfy the package's dependencies"
fi

# Every shared library the binaries themselves link must come from a package named in Depends.
for binary in "${binaries[@]}"; do
    while read -r library; do
        path=$(ldd "$binary" | awk -v lib="$library" '$1 == lib {print $3}')
        [ -n "$path" ] || { fail "ldd cannot find $library"; continue; }
        owner=
        for candidate in "$path" "$(readlink -f "$path")" "${path#/usr}" "/usr$path"; do
            owner=$(dpkg-query -S "$candidate" 2>/dev/null | awk -F: 'NR == 1 {print $1}') && [ -n "$owner" ] && break
        done
        [ -n "$owner" ] || { fail "no Debian package owns $path"; continue; }
        # A here-string, not a pipe: grep -q stops reading at the first match, and under pipefail the
        # writer's broken pipe would count as a failure.
        grep -qx -- "$owner" <<< "$(printf '%s\n' "${names[@]}")" \
            || fail "$(basename "$binary"): $library comes from $owner, which Depends does not name"
    done < <(objdump -p "$binary" | awk '/NEEDED/ {print $2}')
done

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "package checks passed"
