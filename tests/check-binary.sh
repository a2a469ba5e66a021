#!/usr/bin/env bash
# Checks a built orvik.dll: it imports only Windows system DLLs, and it exports exactly the names of
# its .def file. Usage: check-binary.sh OBJDUMP DLL DEF
set -euo pipefail
objdump=$1 dll=$2 def=$3
system_dlls='^(kernel32|user32|ole32|oleaut32|advapi32|setupapi|shlwapi|shell32|msvcrt|gdi32|rpcrt4|combase|api-ms-win-[a-z0-9-]+)\.dll$'
status=0
while read -r name; do
    if ! echo "$name" | tr 'A-Z' 'a-z' | grep -Eq "$system_dlls"; then
        echo "imports a non-system DLL: $name"; status=1
    fi
done < <("$objdump" -p "$dll" | awk '/DLL Name:/ { print $3 }')
expected=$(awk '/^    / { split($1, a, "="); print a[1] }' "$def" | sort)
actual=$("$objdump" -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/ { on = 1; next } on && /^[ \t]*\[/ { print $NF } on && /^$/ { on = 0 }' | sort)
if [ "$expected" != "$actual" ]; then
    echo "export table differs from $def:"; diff <(echo "$expected") <(echo "$actual") || true; status=1
fi
[ "$status" = 0 ] && echo "$(basename "$dll"): $(echo "$actual" | wc -l) exports, system imports only"
exit $status
