#!/usr/bin/env bash
# orvik-cli.exe and tmonitor.exe as programs under Wine, against an installed phone (PID_C11E):
# devices, a put and get across processes with non-ASCII names, and the library's log lines
# arriving at the viewer. Usage: programs_test.sh BUILD_DIR PHONE_FILE
set -uo pipefail
build=$1 phone=$2
run() { "$build/wine-run.sh" "$@"; }
cli() { run "$build/bin/orvik-cli.exe" --device 'USB\VID_0FCE&PID_C11E' "$@"; }
winpath() { echo "Z:${1//\//\\}"; }
work=$(mktemp -d)
installer=$build/virtualphone/bin/vphone-install.exe
failures=0
viewer=

check() {  # check DESCRIPTION CONDITION...
    local what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

cleanup() {
    [ -n "$viewer" ] && { run "$build/bin/tmonitor.exe" --close >/dev/null 2>&1; wait "$viewer" 2>/dev/null; }
    run "$installer" uninstall orvik-cli-test >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/data"
run "$installer" install "$(winpath "$phone")" --name orvik-cli-test --data "$(winpath "$work/data")" >/dev/null ||
    { echo "cannot install the test phone"; exit 1; }

cli devices >"$work/devices.txt" 2>&1
check "devices lists the installed phone" grep -q 'instance id:  USB\\VID_0FCE&PID_C11E\\CLITEST02' "$work/devices.txt"

head -c 50000 /dev/urandom >"$work/Ærø.bin"
cli put "$(winpath "$work/Ærø.bin")" '\Card\Music\Ærø – демо.mp3' ';' \
    get '\Card\Music\Ærø – демо.mp3' "$(winpath "$work/back.bin")" ';' ls '\Card\Music' >"$work/ls.txt"
check "put then get round-trips the bytes" cmp -s "$work/Ærø.bin" "$work/back.bin"
check "the listing shows the non-ASCII name" grep -q "Ærø – демо.mp3\$" "$work/ls.txt"

cli ls '\Card\Nowhere' >/dev/null 2>"$work/error.txt"
status=$?
check "a missing folder exits with 1" test "$status" -eq 1
check "the failure names the result" grep -q 'WPD_ERROR_FAILED (2)' "$work/error.txt"

run "$build/bin/tmonitor.exe" --hidden >"$work/viewer.txt" 2>&1 &
viewer=$!
for _ in $(seq 100); do grep -q listening "$work/viewer.txt" && break; sleep 0.1; done
cli ls '\Card\Nowhere' >/dev/null 2>&1
run "$build/bin/tmonitor.exe" --close >/dev/null 2>&1
wait "$viewer"
viewer=
check "the viewer shows the library's lines with a time" \
    grep -Eq '^[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}  <Orvik-[^>]*> FillFolderList failed, hr = ' "$work/viewer.txt"
check "the viewer shows the connect line" grep -q 'Windows Portable Device(s) with ID USB\\VID_0FCE&PID_C11E found' \
    "$work/viewer.txt"

cli --log info >"$work/logged.txt" 2>&1
check "--log runs a viewer for the command" grep -q '<Orvik-' "$work/logged.txt"

exit $((failures > 0))
