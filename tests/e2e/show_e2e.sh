#!/usr/bin/env bash
# End-to-end checks of the real show binary under the test environment's X server.
#   show_e2e.sh CASE K3LVANA DATA_DIR MAKE_SYNC_MODULE POINTER_PROBE
# CASE is one of: console-success, missing-module, fullscreen-keys, quit-event.
# K3L_SHOW_PRELOAD, when set, is preloaded into the show (an AddressSanitizer build's).
set -uo pipefail

case_name=$1
show=$2
data=$3
make_module=$4
pointer_probe=$5

work=$(mktemp -d /tmp/k3l-e2e.XXXXXX)
source "$(dirname "$0")/../env/show_lib.sh"

# A working directory with the images and, unless told otherwise, the given module.
prepare() {
    mkdir -p "$work/run/data"
    cp "$data"/*.tga "$work/run/data/"
    rm -f "$work/run/data/zelto-07.tga"
}

# Starts the show in run/.
start() {
    (cd "$work/run" && LD_PRELOAD="${K3L_SHOW_PRELOAD:-}" exec "$show" >"$work/stdout" 2>"$work/stderr") &
    pid=$!
}

case "$case_name" in
console-success)
    prepare
    "$make_module" "$work/run/data/zelto-07.tga" 32 12:1B || fail "cannot write the module"
    start
    wait_exit 20
    [ "$status" = 0 ] || fail "status $status"
    expect_loaded >"$work/expected"
    cmp -s "$work/expected" "$work/stdout" || fail "console text differs"
    [ -s "$work/stderr" ] && fail "stderr is not empty"
    ;;
missing-module)
    prepare
    start
    id=$(window) || fail "no window"
    wait_console "Impossibile"
    sleep 1
    size=$(size_of "$id")
    [ "$size" = "640x480" ] || fail "window is $size, not 640x480"
    [ "$("$pointer_probe" "$id")" = hidden ] || fail "the pointer shows over the window"
    kill -0 "$pid" 2>/dev/null || fail "the show ended without a module"
    press "$id" Escape
    wait_exit 10
    [ "$status" = 0 ] || fail "status $status"
    expect_not_loaded >"$work/expected"
    cmp -s "$work/expected" "$work/stdout" || fail "console text differs"
    [ -s "$work/stderr" ] && fail "stderr is not empty"
    ;;
fullscreen-keys)
    prepare
    "$make_module" "$work/run/data/zelto-07.tga" 2020 2000:1B || fail "cannot write the module"
    start
    id=$(window) || fail "no window"
    wait_console "Loaded."
    expected_size="${K3L_SCREEN_WIDTH}x${K3L_SCREEN_HEIGHT}"
    for _ in $(seq 1 40); do
        [ "$(size_of "$id")" = "$expected_size" ] && break
        sleep 0.05
    done
    size=$(size_of "$id")
    [ "$size" = "$expected_size" ] || fail "window is $size, not full screen $expected_size"
    [ "$("$pointer_probe" "$id")" = hidden ] || fail "the pointer shows over the window"
    press "$id" a q space Return x F1 Left
    sleep 1
    kill -0 "$pid" 2>/dev/null || fail "a key other than Escape ended the show"
    press "$id" Escape
    wait_exit 10
    [ "$status" = 0 ] || fail "status $status"
    [ -s "$work/stderr" ] && fail "stderr is not empty"
    ;;
quit-event)
    prepare
    "$make_module" "$work/run/data/zelto-07.tga" 45 25:1B || fail "cannot write the module"
    start
    started=$(date +%s%N)
    wait_exit 20
    ended=$(date +%s%N)
    [ "$status" = 0 ] || fail "status $status"
    # Z1B sits at row 25 (3.0 s into the song); the show ends at the next tick.
    elapsed_ms=$(( (ended - started) / 1000000 ))
    [ "$elapsed_ms" -ge 2900 ] || fail "ended after ${elapsed_ms} ms, before the quit event"
    ;;
*)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac
echo "ok ($case_name)"
