#!/usr/bin/env bash
# install.sh DIR: the npm package castv2 (the protocol of the tests' Cast device) into
# DIR/node_modules, once per build tree. Nothing fetched goes into the repository.
set -euo pipefail
dir=$1
version=0.1.10
installed="$dir/node_modules/castv2/package.json"
if [ -f "$installed" ] && grep -q "\"version\": \"$version\"" "$installed"; then
    exit 0
fi
command -v npm >/dev/null || { echo "npm is missing: run scripts/install-deps.sh --tests" >&2; exit 1; }
mkdir -p "$dir"
[ -f "$dir/package.json" ] || echo '{ "private": true }' > "$dir/package.json"
# No install scripts: the package and its dependencies need none to be used.
npm install --prefix "$dir" --no-save --no-package-lock --ignore-scripts --no-audit --no-fund "castv2@$version"
