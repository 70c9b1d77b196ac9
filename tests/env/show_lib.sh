# Helpers for the scripts that run the real show binary: ending a show left running, failing with
# its console, waiting for its exit or its console, finding its window, pressing keys, the console
# texts byte for byte. Sourced after the caller has set case_name and made its directory $work;
# the caller starts the show in the background with stdout and stderr in $work and sets $pid.

pid=""
label=""
# Ends a show left running and removes the work directory.
finish() {
    [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null
    rm -rf "$work"
}
trap finish EXIT

# Fails the case, with the show's console and stderr.
fail() {
    echo "FAIL ($case_name${label:+: $label}): $*" >&2
    echo "--- stdout:" >&2; od -c "$work/stdout" 2>/dev/null | tail -n 8 >&2
    echo "--- stderr:" >&2; head -c 4000 "$work/stderr" >&2 2>/dev/null
    exit 1
}

# Waits for the process to end by itself within the given seconds; its exit status goes to $status.
wait_exit() {
    local seconds=$1
    for _ in $(seq 1 $((seconds * 50))); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.02
    done
    kill -0 "$pid" 2>/dev/null && fail "still running after ${seconds}s"
    wait "$pid"
    status=$?
    pid=""
}

# Waits until the console shows the given text.
wait_console() {
    for _ in $(seq 1 500); do
        grep -q "$1" "$work/stdout" 2>/dev/null && return 0
        kill -0 "$pid" 2>/dev/null || fail "ended before the console showed '$1'"
        sleep 0.02
    done
    fail "console never showed '$1'"
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
    xdotool windowfocus "$id" 2>/dev/null
    xdotool key "$@"
}

# The console texts, byte for byte: eight loading steps of "..", then the closing text; or seven
# steps and the module failure.
expect_loaded() {
    printf '[LOADING'; printf '..%.0s' $(seq 1 9); printf ']\nLoaded.'; printf '\n%.0s' $(seq 1 25)
}
expect_not_loaded() {
    printf '[LOADING'; printf '..%.0s' $(seq 1 7); printf '\nImpossibile caricare il file\n'
}
