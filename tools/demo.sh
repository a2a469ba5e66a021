#!/usr/bin/env bash
# The narrated demo: a host program drives orvik.dll by its decorated names. Usage: demo.sh BUILD_DIR
set -uo pipefail
build=$1
failed=0
step() {
    echo
    echo "== $1"
    shift
    "$build/wine-run.sh" "$build/bin/orvik-cli.exe" "$@" || failed=$((failed + 1))
}
step "Handles of both device classes, and what a few calls return" probe
echo
if [ "$failed" -eq 0 ]; then echo "demo: every step succeeded"; else echo "demo: $failed step(s) failed"; fi
exit $((failed > 0))
