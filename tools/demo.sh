#!/usr/bin/env bash
# The narrated demo: orvik-cli, a host that binds to orvik.dll by its decorated names, drives the
# sample virtual phone while tmonitor shows the library's log. Usage: demo.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
# The demo's phone lives in a prefix of its own, so that it never stands in the tests' way.
export ORVIK_WINEPREFIX=${ORVIK_WINEPREFIX:-$build/demo-prefix}
tools=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
viewer_log=$work/tmonitor.log
viewer_pid=
steps=0
failures=()

winpath() { echo "Z:${1//\//\\}"; }
cli() { "$build/wine-run.sh" "$build/bin/orvik-cli.exe" "$@"; }
ctl() { "$build/wine-run.sh" "$build/virtualphone/bin/vphone-ctl.exe" sample "$@"; }

finish() {
    # A demo stopped midway leaves the phone plugged in and fast for the next one.
    ctl --reset >/dev/null 2>&1
    if [ -n "$viewer_pid" ]; then
        "$build/wine-run.sh" "$build/bin/tmonitor.exe" --close >/dev/null 2>&1
        wait "$viewer_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap finish EXIT

shown_lines=0
show_log() {  # the viewer's lines that arrived since the last call
    local total
    total=$(wc -l <"$viewer_log")
    if [ "$total" -gt "$shown_lines" ]; then
        tail -n +"$((shown_lines + 1))" "$viewer_log" | head -n "$((total - shown_lines))" | sed 's/^/    tmonitor| /'
        shown_lines=$total
    fi
}

step() {  # step TITLE COMMAND...
    local title=$1
    shift
    steps=$((steps + 1))
    echo
    echo "== $title"
    if ! "$@"; then
        failures+=("$title")
        echo "   (step failed)"
    fi
    sleep 0.2
    show_log
}

echo "Installing the sample phone into the Wine prefix (once)"
"$tools/sample-phone.sh" "$build" || { echo "demo: cannot install the sample phone"; exit 1; }

echo "Starting the log viewer"
"$build/wine-run.sh" "$build/bin/tmonitor.exe" --hidden >"$viewer_log" 2>&1 &
viewer_pid=$!
for _ in $(seq 100); do grep -q listening "$viewer_log" 2>/dev/null && break; sleep 0.1; done
show_log

head -c 300000 /dev/urandom >"$work/demo.bin"
printf '%s\r\n' '\Card\Music\Harbour Lights.mp3' '\Card\Music\Café del Mar.mp3' >"$work/mix.txt"
printf '<SyncML><SyncHdr/><SyncBody><Alert/></SyncBody></SyncML>' >"$work/package.xml"
printf 'MIDlet-Name: Demo\n' >"$work/demo.jad"
head -c 20000 /dev/urandom >"$work/demo.jar"
remote='\Card\Music\Démo – Ærø.mp3'

# The phone keeps what a host gives it: every command below is a process of its own, and a later
# one finds what an earlier one wrote.
reset_phone() { "$build/wine-run.sh" "$build/virtualphone/bin/vphone-install.exe" reset sample; }
put_then_compare() {
    cli put "$(winpath "$work/demo.bin")" "$remote" --replace || return 1
    cli ls '\Card\Music' | tee "$work/listing.txt"
    grep -qF "${remote##*\\}" "$work/listing.txt" || { echo "the next command does not list it"; return 1; }
    cli get "$remote" "$(winpath "$work/back.bin")" &&
        cmp "$work/demo.bin" "$work/back.bin" && echo "cmp: the copy read back is identical, byte for byte"
}
missing_folder() { ! cli ls '\Card\Nowhere'; }
playlist_round_trip() {
    cli playlist put '\Card\Music\Demo mix.pla' "$(winpath "$work/mix.txt")" --replace &&
        cli playlist get '\Card\Music\Demo mix.pla'
}
clock() { cli time set '2009-06-01 12:34:56' && cli time get; }
syncml_exchange() {
    cli syncml put "$(winpath "$work/package.xml")" --type 1 --reply "$(winpath "$work/reply.xml")"
}
# The cable is slowed so that the copy is still under way when it is pulled a second after the host
# connected: the copy fails midway, and once the phone is back nothing of it is there.
unplug_during_copy() {
    head -c 60000000 /dev/zero >"$work/long.bin"
    ctl --link 1 ms 10 MB/s >/dev/null || return 1
    local connects status
    connects=$(grep -c 'Windows Portable Device(s)' "$viewer_log")
    cli put "$(winpath "$work/long.bin")" '\Card\Music\Unplugged.mp3' &
    local copy=$!
    for _ in $(seq 100); do
        [ "$(grep -c 'Windows Portable Device(s)' "$viewer_log")" -gt "$connects" ] && break
        sleep 0.1
    done
    sleep 1
    echo "vphone-ctl sample --unplug:"
    ctl --unplug | sed 's/^/    /'
    wait "$copy"
    status=$?
    ctl --plug --link none >/dev/null
    echo "the copy ended with status $status"
    [ "$status" -ne 0 ] && ! cli ls '\Card\Music' | grep -q 'Unplugged.mp3' &&
        echo "plugged in again: nothing of the copy is on the phone"
}
put_and_delete() {
    cli put "$(winpath "$work/demo.bin")" '\Card\Music\Delete me.mp3' && cli rm '\Card\Music\Delete me.mp3' &&
        cli ls '\Card\Music' >"$work/after.txt" || return 1
    if grep -qF 'Delete me.mp3' "$work/after.txt"; then echo "the next listing still shows it"; return 1; fi
    echo "ls: the next listing shows it no more"
}

step "The phone put back to its description" reset_phone
step "The portable devices present" cli devices
step "Who the phone is" cli info
step "Storage sizes" cli df
step "The storages" cli ls
step "Music on the card" cli ls '\Card\Music'
step "A missing folder is refused" missing_folder
step "A file to the phone; the next commands list it and read it back" put_then_compare
step "A playlist written, then read back by the next command" playlist_round_trip
step "The phone's clock, set, then read by the next command" clock
step "An AT exchange" cli at ATI AT+CGMI
step "A SyncML exchange" syncml_exchange
step "An application installed" cli install "$(winpath "$work/demo.jad")" "$(winpath "$work/demo.jar")" \
    --to '\Phone memory\Demo.jad' '\Phone memory\Demo.jar'
step "A copy the cable is pulled from" unplug_during_copy
step "A file put, then deleted, then gone from the listing" put_and_delete

echo
if [ ${#failures[@]} -eq 0 ]; then
    echo "demo: all $steps steps succeeded"
else
    echo "demo: $((steps - ${#failures[@]})) of $steps steps succeeded; failed: $(IFS=';'; echo "${failures[*]}" | sed 's/;/; /g')"
fi
exit $((${#failures[@]} > 0))
