#!/usr/bin/env bash
# Creates a 64-bit Wine prefix for the tests: null display driver (hidden windows work without X).
# Usage: make-wine-prefix.sh PREFIX_DIR
set -euo pipefail
prefix=$1
wine=/usr/lib/wine/wine64
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$prefix"
    "$wine" wineboot -i >/dev/null 2>&1
fi
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w
touch "$prefix/.orvik-ready"
