#!/usr/bin/env bash
# Faults around the real show binary, each with the outcome the show promises.
# Runs inside tests/env/with-test-env.sh (an X server and a sound server of its own).
#   faults.sh CASE K3LVANA DATA_DIR MAKE_SYNC_MODULE WM_CLOSE SHOW_PROBE
# CASE is one of:
#   no-display      DISPLAY unset, or naming no server: freeglut's message, status 1, no crash
#   no-audio        no sound server; also no ALSA configuration, or a null default device: the silent show, Z1B on time
#   data            missing, unreadable, misplaced, empty and swapped data files: the documented degradation
#   window-close    the window manager closes the window while the music plays: a quick, clean end
#   escape          Escape during the fade, across the hand-over to scene 7, at the quit event: status 0
# SHOW_PROBE (tests/soak/show_probe.cpp, LD_PRELOAD) counts the textures uploaded and the ticks;
# K3L_SHOW_PRELOAD, when set, is preloaded into the show before it (an AddressSanitizer build's).
set -uo pipefail

case_name=$1
show=$2
data=$3
make_module=$4
wm_close=$5
probe=$6

ROW_MS=120        # milliseconds a row of the test modules lasts
TICK_MS=55        # milliseconds per tick of the show
FADE_TICKS=50     # ticks from a fade's start to the hand-over to scene 7
IMAGES=(afraid512 afraid64 noise credits noiseliscio confidence512 confidence schizzi sprite scoramento
        gatto wisdom wisdom64 vs uncertainty64 brave creditifinali)

work=$(mktemp -d /tmp/k3l-faults.XXXXXX)
chmod 755 "$work"
source "$(dirname "$0")/../env/show_lib.sh"
# The probe rides along an AddressSanitizer build too, whose runtime then is not the first library.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"

# Milliseconds on the wall clock.
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# A fresh working directory run/ with every image and a module with the given rows and events.
prepare() {
    rm -rf "$work/run"
    mkdir -p "$work/run/data"
    for image in "${IMAGES[@]}"; do
        cp "$data/$image.tga" "$work/run/data/"
    done
    "$make_module" "$work/run/data/zelto-07.tga" "$@" || fail "cannot write the module"
    chmod -R a+rX "$work/run"
}

# Starts the show in run/ with the probe; extra words before the binary (e.g. setpriv ...) run it.
start() {
    rm -f "$work/stdout" "$work/stderr"
    : >"$work/probe" && chmod 666 "$work/probe"  # the probe may write as another user
    (cd "$work/run" && K3L_PROBE_REPORT="$work/probe" LD_PRELOAD="${K3L_SHOW_PRELOAD:+$K3L_SHOW_PRELOAD }$probe" exec "$@" "$show" \
        >"$work/stdout" 2>"$work/stderr") &
    pid=$!
}

# One value of the probe's report.
probe_value() {
    awk -v key="$1" '$1 == key {print $2}' "$work/probe" 2>/dev/null
}

# The show loaded and ended by itself (the module's Z1B) with status 0, the console exactly as
# documented, stderr empty, and the given number of textures uploaded.
expect_plays_through() {
    local textures=$1
    wait_exit 20
    [ "$status" = 0 ] || fail "status $status"
    expect_loaded >"$work/expected"
    cmp -s "$work/expected" "$work/stdout" || fail "console text differs"
    [ -s "$work/stderr" ] && fail "stderr is not empty"
    [ "$(probe_value textures)" = "$textures" ] || fail "$(probe_value textures) textures uploaded, not $textures"
}

# The module could not be loaded: the message, the 640 x 480 window in silence until Escape,
# no texture loaded, status 0, stderr empty.
expect_module_failure() {
    wait_console "Impossibile"
    local id
    id=$(window) || fail "no window"
    sleep 0.5
    [ "$(size_of "$id")" = "640x480" ] || fail "window is $(size_of "$id"), not 640x480"
    kill -0 "$pid" 2>/dev/null || fail "the show ended without a module"
    press "$id" Escape
    wait_exit 10
    [ "$status" = 0 ] || fail "status $status"
    expect_not_loaded >"$work/expected"
    cmp -s "$work/expected" "$work/stdout" || fail "console text differs"
    [ -s "$work/stderr" ] && fail "stderr is not empty"
    [ "$(probe_value textures)" = 0 ] || fail "$(probe_value textures) textures uploaded without a module"
}

# Names the player's threads running in the show now (comm of every task).
threads_of() {
    cat /proc/"$pid"/task/*/comm 2>/dev/null | sort | tr '\n' ' '
}

case "$case_name" in
no-display)
    prepare 20 12:1B
    for display in unset ":97" "nowhere:0"; do
        label="DISPLAY=$display"
        if [ "$display" = unset ]; then
            start env -u DISPLAY
        else
            start env DISPLAY="$display"
        fi
        wait_exit 10
        [ "$status" = 1 ] || fail "status $status, not freeglut's 1"
        grep -q "failed to open display" "$work/stderr" || fail "no clear message"
        [ "$(wc -l <"$work/stderr")" = 1 ] || fail "more than freeglut's one line on stderr"
        [ -s "$work/stdout" ] && fail "console output without a display"
        echo "DISPLAY=$display: status $status, $(cat "$work/stderr")"
    done
    ;;
no-audio)
    # Z1B at row 25: the song's 3.0 s; the show ends at the next tick after the event.
    quit_row=25
    prepare 40 0:00 10:01 20:0A "$quit_row:1B"
    : >"$work/alsa-empty.conf"
    # A default device that swallows sound: no clock, no latency, so the show must not wait for it.
    printf '</usr/share/alsa/alsa.conf>\npcm.!default { type null }\n' >"$work/alsa-null.conf"
    for setup in "no-server" "no-alsa-config" "empty-alsa-config" "null-default-device"; do
        label=$setup
        case "$setup" in
        no-server) start env PULSE_SERVER=unix:/nonexistent/k3l-no-sound-server ;;
        no-alsa-config) start env PULSE_SERVER=unix:/nonexistent/k3l-no-sound-server ALSA_CONFIG_PATH=/nonexistent/alsa.conf ;;
        empty-alsa-config) start env PULSE_SERVER=unix:/nonexistent/k3l-no-sound-server ALSA_CONFIG_PATH="$work/alsa-empty.conf" ;;
        null-default-device) start env PULSE_SERVER=unix:/nonexistent/k3l-no-sound-server ALSA_CONFIG_PATH="$work/alsa-null.conf" ;;
        esac
        started=$(now_ms)
        wait_console "Loaded."
        loaded=$(now_ms)
        threads=$(threads_of)
        case "$threads" in *k3l-silent*) ;; *) fail "no silent output thread (threads: $threads)" ;; esac
        expect_plays_through 17
        ended=$(now_ms)
        # The song starts right after "Loaded."; the quit event falls at quit_row rows, the show ends within a tick or two.
        due=$((quit_row * ROW_MS))
        late=$((ended - loaded - due))
        [ $((ended - started)) -ge "$due" ] || fail "ended $((ended - started)) ms after start, before the quit event at $due ms"
        [ "$late" -le 1500 ] || fail "ended $late ms after the quit event was due"
        echo "$setup: silent output, ended $late ms after the quit event was due (status 0)"
    done
    ;;
data)
    # Z1B at row 12 (1.44 s): a show that loads ends by itself.
    module_args=(20 0:00 12:1B)
    label="no data directory"
    prepare "${module_args[@]}"
    rm -rf "$work/run/data"
    start
    expect_module_failure
    echo "$label: module failure message, Escape, status 0"

    for image in "${IMAGES[@]}"; do
        label="$image.tga missing"
        prepare "${module_args[@]}"
        rm "$work/run/data/$image.tga"
        start
        expect_plays_through 16
    done
    echo "each image missing in turn: the show plays with 16 textures, status 0"

    label="module missing"
    prepare "${module_args[@]}"
    rm "$work/run/data/zelto-07.tga"
    start
    expect_module_failure
    echo "$label: module failure message"

    label="image unreadable"
    prepare "${module_args[@]}"
    chmod 000 "$work/run/data/brave.tga"
    cp "$show" "$work/k3lvana" && chmod 755 "$work/k3lvana"
    cp "$probe" "$work/probe.so" && chmod 755 "$work/probe.so"
    show_as_root=$show
    show="$work/k3lvana"
    probe="$work/probe.so"
    nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$work/run")
    start "${nobody[@]}"
    expect_plays_through 16
    echo "$label (run as nobody): 16 textures, status 0"

    label="module unreadable"
    prepare "${module_args[@]}"
    chmod 000 "$work/run/data/zelto-07.tga"
    start "${nobody[@]}"
    expect_module_failure
    echo "$label (run as nobody): module failure message"
    show=$show_as_root

    label="directory in place of an image"
    prepare "${module_args[@]}"
    rm "$work/run/data/noise.tga" && mkdir "$work/run/data/noise.tga"
    start
    expect_plays_through 16
    label="directory in place of the module"
    prepare "${module_args[@]}"
    rm "$work/run/data/zelto-07.tga" && mkdir "$work/run/data/zelto-07.tga"
    start
    expect_module_failure
    echo "directories in place of files: empty slot / module failure message"

    label="zero-length image"
    prepare "${module_args[@]}"
    : >"$work/run/data/gatto.tga"
    start
    expect_plays_through 16
    label="zero-length module"
    prepare "${module_args[@]}"
    : >"$work/run/data/zelto-07.tga"
    start
    expect_module_failure
    echo "zero-length files: empty slot / module failure message"

    label="an image in place of the module"
    for image in afraid64 afraid512 scoramento; do
        prepare "${module_args[@]}"
        cp "$data/$image.tga" "$work/run/data/zelto-07.tga"
        start
        expect_module_failure
    done
    label="the module in place of an image"
    prepare "${module_args[@]}"
    cp "$work/run/data/zelto-07.tga" "$work/run/data/credits.tga"
    start
    expect_plays_through 16
    echo "swapped files: module failure message / empty slot"
    ;;
window-close)
    for output in device silent; do
        label=$output
        prepare 400 0:00 395:1B
        if [ "$output" = silent ]; then
            start env PULSE_SERVER=unix:/nonexistent/k3l-no-sound-server
        else
            start
        fi
        wait_console "Loaded."
        id=$(window) || fail "no window"
        sleep 1
        threads=$(threads_of)
        case "$threads" in *k3l-zxx*) ;; *) fail "the player's dispatcher does not run (threads: $threads)" ;; esac
        ticks_before=$(date +%s%N)
        "$wm_close" "$id" || fail "cannot send WM_DELETE_WINDOW"
        wait_exit 5
        closed_ms=$(( ($(date +%s%N) - ticks_before) / 1000000 ))
        [ "$status" = 0 ] || fail "status $status after the window was closed"
        [ -s "$work/stderr" ] && fail "stderr is not empty"
        [ -s "$work/probe" ] || fail "the process did not run its exit handlers"
        echo "$output: threads [$threads] closed by the window manager, ended in ${closed_ms} ms, status 0"
    done
    ;;
escape)
    # Z06 at row 0 (scene 6), Z11 at row 10 (1.2 s) starts the fade; 50 ticks later (about
    # 2.75 s) scene 6 hands over to scene 7. Z1B at row 60 (7.2 s) ends the show.
    fade_start=$((10 * ROW_MS))
    handover=$((fade_start + FADE_TICKS * TICK_MS))
    quit_at=$((60 * ROW_MS))
    runs=()
    for offset in 1200; do runs+=("during the fade:$((fade_start + offset))"); done
    for offset in -110 -55 -20 0 20 55 110; do runs+=("at the hand-over $offset ms:$((handover + offset))"); done
    for offset in -40 -15 0 15 40; do runs+=("at the quit event $offset ms:$((quit_at + offset))"); done
    for run in "${runs[@]}"; do
        label=${run%%:*}
        at=${run##*:}
        prepare 70 0:06 10:11 60:1B
        start env PULSE_SERVER=unix:/nonexistent/k3l-no-sound-server
        wait_console "Loaded."
        loaded=$(now_ms)
        id=$(window) || fail "no window"
        wait_ms=$((at - ($(now_ms) - loaded)))
        [ "$wait_ms" -gt 0 ] && sleep "$(printf '%d.%03d' $((wait_ms / 1000)) $((wait_ms % 1000)))"
        pressed=$(( $(now_ms) - loaded ))
        press "$id" Escape
        wait_exit 10
        [ "$status" = 0 ] || fail "status $status (Escape at $pressed ms)"
        [ -s "$work/stderr" ] && fail "stderr is not empty"
        echo "$label: Escape at $pressed ms of the song, status 0"
    done
    ;;
*)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac
echo "ok ($case_name)"
