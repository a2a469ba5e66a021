#!/usr/bin/env bash
# Installs the sample phone into the demo's Wine prefix (BUILD_DIR/demo-prefix, kept apart from the
# tests' prefix) unless it is there already, keeping what hosts write to it in
# BUILD_DIR/virtualphone/sample-data. Usage: sample-phone.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export ORVIK_WINEPREFIX=${ORVIK_WINEPREFIX:-$build/demo-prefix}
[ -f "$ORVIK_WINEPREFIX/.orvik-ready" ] || "$root/tools/make-wine-prefix.sh" "$ORVIK_WINEPREFIX"
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
