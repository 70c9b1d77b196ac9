#!/usr/bin/env bash
# End-to-end checks of the real show binary under the test environment's X server.
#   show_e2e.sh CASE K3LVANA DATA_DIR MAKE_TEST_MODULE POINTER_PROBE
# CASE is one of: console-success, missing-module, fullscreen-keys, quit-event.
# K3L_SHOW_PRELOAD, when set, is preloaded into the show (an AddressSanitizer build's).
set -uo pipefail

case_name=$1
show=$2
data=$3
make_module=$4
pointer_probe=$5

work=$(mktemp -d /tmp/k3l-e2e.XXXXXX)
pid=""
finish() {
    [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null
    rm -rf "$work"
}
trap finish EXIT

fail() {
    echo "FAIL ($case_name): $*" >&2
    echo "--- stdout:" >&2; od -c "$work/stdout" | tail -n 8 >&2
    echo "--- stderr:" >&2; cat "$work/stderr" >&2
    exit 1
}

# A working directory with the images and, unless told otherwise, the given module.
prepare() {
    mkdir -p "$work/run/data"
    cp "$data"/*.tga "$work/run/data/"
    rm -f "$work/run/data/zelto-07.tga"
}

start() {
    (cd "$work/run" && LD_PRELOAD="${K3L_SHOW_PRELOAD:-}" exec "$show" >"$work/stdout" 2>"$work/stderr") &
    pid=$!
}

# Waits for the process to end by itself; its exit status goes to $status.
wait_exit() {
    local seconds=$1
    for _ in $(seq 1 $((seconds * 20))); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    kill -0 "$pid" 2>/dev/null && fail "still running after ${seconds}s"
    wait "$pid"
    status=$?
    pid=""
}

# The show's window id, once it is mapped.
window() {
    timeout 10 xdotool search --sync --onlyvisible --name '^k3lvana$' | head -n 1
}

# Width x height of a window.
size_of() {
    xwininfo -id "$1" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'
}

# Presses keys in the window, as a person at the keyboard would (XTEST events).
press() {
    local id=$1
    shift
    xdotool windowfocus "$id"
    xdotool key "$@"
}

# Waits until the console shows the given text.
wait_console() {
    for _ in $(seq 1 200); do
        grep -q "$1" "$work/stdout" 2>/dev/null && return 0
        sleep 0.05
    done
    fail "console never showed '$1'"
}

# The console texts, byte for byte: eight loading steps of "..", then the closing text.
expect_loaded() {
    printf '[LOADING'; printf '..%.0s' $(seq 1 9); printf ']\nLoaded.'; printf '\n%.0s' $(seq 1 25)
}
expect_not_loaded() {
    printf '[LOADING'; printf '..%.0s' $(seq 1 7); printf '\nImpossibile caricare il file\n'
}

case "$case_name" in
console-success)
    prepare
    "$make_module" "$work/run/data/zelto-07.tga" 12 || fail "cannot write the module"
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
    "$make_module" "$work/run/data/zelto-07.tga" 2000 || fail "cannot write the module"
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
    "$make_module" "$work/run/data/zelto-07.tga" 25 || fail "cannot write the module"
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
