# Helpers for the scripts that run the real show binary: ending a show left running, failing with
# its console, waiting for its exit or its console, finding its window, pressing keys, the console
# texts byte for byte, and the checks the Linux and the Windows runs share. Sourced after the caller has set case_name and made its directory $work;
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

# Width x height +x +y of a window, where it stands on the screen.
geometry_of() {
    xwininfo -id "$1" | awk '/Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4}
        /Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h "+" x "+" y}'
}

# Presses keys in the window, as a person at the keyboard would (XTEST events).
press() {
    local id=$1
    shift
    xdotool windowfocus "$id" 2>/dev/null
    xdotool key "$@"
}

# Writes a 64 x 64 TGA image (32-bit, bottom-left origin) of one colour: $1 path, $2 bytes B G R A as \\xHH.
solid_image() {
    { printf '\0\0\2\0\0\0\0\0\0\0\0\0\x40\0\x40\0\x20\x08'; printf "$2%.0s" $(seq 4096); } >"$1"
}

# Makes every image of run/ transparent but scene 1's backdrop (red) and scene 2's (blue), so that
# the scenes can be told apart on the screen (x11_probe watch).
solid_scenes() {
    for image in "$work"/run/data/*.tga; do
        [ "${image##*/}" = zelto-07.tga ] || solid_image "$image" '\0\0\0\0'
    done
    solid_image "$work/run/data/afraid512.tga" '\0\0\xff\xff'
    solid_image "$work/run/data/confidence512.tga" '\xff\0\0\xff'
}

# The dominant colours the window showed (x11_probe watch), as the letters of the scenes' backdrops:
# fails unless they are the dark opening and then the given letters, each cut from the given one on
# (1: all) the given milliseconds after the one before, give or take half a second (frames of a busy
# machine).
expect_cuts() {
    awk '$2 != "O"' "$work/colours" | awk -v want="$1" -v gap="$2" -v from="$3" '
        { seen = seen $2; t[NR] = $1 }
        END {
            if (seen !~ ("^K+" want "$")) { print "colours " seen; exit 1 }
            first = index(seen, substr(want, 1, 1))
            for (i = first + from; i < first + length(want); ++i) {
                d = t[i] - t[i - 1]
                if (d < gap - 500 || d > gap + 500) { print "cut " i - first " came " d " ms after the one before"; exit 1 }
            }
        }' >"$work/why" || fail "scene cuts: $(cat "$work/why")"
}

# Waits (up to 20 s) until the watched window showed scene 1's red: the song plays, on whichever output.
wait_red() {
    for _ in $(seq 1 1000); do
        grep -q ' R$' "$work/colours" 2>/dev/null && return 0
        sleep 0.02
    done
    fail "scene 1 never showed"
}

# The console texts, byte for byte: eight loading steps of "..", then the closing text; or seven
# steps and the module failure.
expect_loaded() {
    printf '[LOADING'; printf '..%.0s' $(seq 1 9); printf ']\nLoaded.'; printf '\n%.0s' $(seq 1 25)
}
expect_not_loaded() {
    printf '[LOADING'; printf '..%.0s' $(seq 1 7); printf '\nImpossibile caricare il file\n'
}

# Fails unless the console is the given text (Windows' line ends taken as Unix ones) and stderr is empty.
expect_console() {
    "$1" | cmp -s - <(tr -d '\r' <"$work/stdout") || fail "console text differs"
    ! [ -s "$work/stderr" ] || fail "stderr is not empty"
}

# The show started without its module: the failure text, the 640 x 480 window, the pointer hidden
# (x11_probe's verdict); Escape ends it with status 0.
check_missing_module() {
    local id
    id=$(window) || fail "no window"
    wait_console "Impossibile"
    sleep 1
    [ "$(size_of "$id")" = "640x480" ] || fail "window is $(size_of "$id"), not 640x480"
    [ "$("$x11_probe" pointer "$id")" = hidden ] || fail "the pointer shows over the window"
    press "$id" Escape
    wait_exit 10
    [ "$status" = 0 ] || fail "status $status"
    expect_console expect_not_loaded
}

# The show started with a long song that cuts to scene 1 at once, on solid_scenes' images: full
# screen once loaded, covering the screen exactly (scene 1's red reaches the screen's left and right
# edges, its black bands the top and the bottom), the pointer
# hidden; keys other than Escape do nothing, Escape ends it with status 0.
check_fullscreen_keys() {
    local id screen="${K3L_SCREEN_WIDTH}x${K3L_SCREEN_HEIGHT}+0+0"
    id=$(window) || fail "no window"
    wait_console "Loaded."
    for _ in $(seq 1 100); do
        [ "$(geometry_of "$id")" = "$screen" ] && [ "$("$x11_probe" edges "$id")" = RRKK ] && break
        sleep 0.05
    done
    [ "$(geometry_of "$id")" = "$screen" ] || fail "window is $(geometry_of "$id"), not full screen $screen"
    [ "$("$x11_probe" edges "$id")" = RRKK ] ||
        fail "the screen's left, right, top and bottom edges show $("$x11_probe" edges "$id"), not RRKK"
    [ "$("$x11_probe" pointer "$id")" = hidden ] || fail "the pointer shows over the window"
    press "$id" a q space Return x F1 Left
    sleep 1
    kill -0 "$pid" 2>/dev/null || fail "a key other than Escape ended the show"
    press "$id" Escape
    wait_exit 10
    [ "$status" = 0 ] || fail "status $status"
    expect_console expect_loaded
}
