#!/usr/bin/env bash
# Installs the sample phone into a build's Wine prefix unless it is there already, keeping what
# hosts write to it in BUILD_DIR/virtualphone/sample-data. Usage: sample-phone.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
installer=$build/virtualphone/bin/vphone-install.exe
data=$build/virtualphone/sample-data
data_windows="Z:${data//\//\\}"
mkdir -p "$data"
installed=$("$build/wine-run.sh" "$installer" list 2>/dev/null | tr -d '\r')
if echo "$installed" | grep -q '^sample$' && echo "$installed" | grep -qF "data        $data_windows"; then
    exit 0
fi
"$build/wine-run.sh" "$installer" uninstall sample >/dev/null 2>&1 || true
"$build/wine-run.sh" "$installer" install "Z:${root//\//\\}\\virtualphone\\sample\\sample.phone" \
    --data "$data_windows" >/dev/null
