#!/usr/bin/env bash
# The real show end to end, inside tests/env/with-test-env.sh (an X server and a sound server of
# its own), and under faults: what a person at the screen, or the machine around it, would see.
#   show.sh CASE K3LVANA K3LVANA_PROBED DATA_DIR MAKE_SYNC_MODULE X11_PROBE
# CASE is one of:
#   plays            the console byte for byte, every Zxx event in order and on time, ticks 55 ms
#                    apart or more, no allocation by the show once it runs, status 0 at the quit event
#   missing-module   the failure text, the 640 x 480 window, the pointer hidden, Escape ends it with 0
#   fullscreen-keys  full screen once loaded, the pointer hidden, other keys do nothing, Escape: 0
#   no-display       DISPLAY unset: freeglut's one line, status 1, no console text
#   no-audio         no sound server, no ALSA configuration, a null default device: the silent show on time
#   broken-data      an image missing, one empty, a directory and the module in place of two: 13 textures
#   window-close     the window manager closes the window, on the device and the silent output: a clean end,
#                    the player closed by the process's exit handlers
#   escape           Escape during the fade, at the hand-over to scene 7, at the quit event: status 0
# K3LVANA_PROBED is the show with tests/show/show_probe.cpp linked in (counts and events, K3L_PROBE_REPORT).
set -uo pipefail

case_name=$1
show=$2
probed=$3
data=$4
make_module=$5
x11_probe=$6

ROW_MS=120       # milliseconds a row of the test modules lasts
NO_SERVER=unix:/nonexistent/k3l-no-sound-server

work=$(mktemp -d /tmp/k3l-show.XXXXXX)
source "$(dirname "$0")/../env/show_lib.sh"

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# A fresh run/ with every image and a module of the given rows and events (make_sync_module's arguments).
prepare() {
    rm -rf "$work/run"
    mkdir -p "$work/run"
    cp -r "$data" "$work/run/data"
    "$make_module" "$work/run/data/zelto-07.tga" "$@" || fail "cannot write the module"
}

# Starts a build of the show in run/, in the environment given first (env words).
start() {
    local binary=$1
    shift
    rm -f "$work/stdout" "$work/stderr" "$work/report"
    (cd "$work/run" && K3L_PROBE_REPORT="$work/report" exec env "$@" "$binary" \
        >"$work/stdout" 2>"$work/stderr") &
    pid=$!
}

# One value of the probed show's report.
report() {
    awk -v key="$1" '$1 == key {print $2}' "$work/report"
}

# The show ended with status 0, the console exactly as on a successful load, stderr empty, and the
# given number of textures uploaded (the probed build).
expect_plays_through() {
    wait_exit 20
    [ "$status" = 0 ] || fail "status $status"
    expect_console expect_loaded
    [ "$(report textures)" = "$1" ] || fail "$(report textures) textures uploaded, not $1"
}

# The show, started and seen loaded at the given moments (ms), ended by itself after the quit event
# at the given row, and within a second and a half of it.
ended_in_time() {
    local ended quit_ms=$(($3 * ROW_MS))
    ended=$(now_ms)
    [ $((ended - $1)) -ge "$quit_ms" ] || fail "ended $((ended - $1)) ms after its start, before the quit event"
    [ $((ended - $2 - quit_ms)) -le 1500 ] || fail "ended $((ended - $2 - quit_ms)) ms after the quit event was due"
}

# The names of the show's threads now.
threads_of() {
    cat /proc/"$pid"/task/*/comm 2>/dev/null | tr '\n' ' '
}

case "$case_name" in
plays)
    # Z1B at row 25: the song's 3.0 s; the show ends at the next tick.
    events="0:00 3:01 5:0A 8:02 10:0A 12:11 14:05 18:06 25:1B"
    prepare 40 $events
    started=$(now_ms)
    start "$probed" PULSE_SERVER=$NO_SERVER
    wait_console "Loaded."
    loaded=$(now_ms)
    expect_plays_through 17
    ended_in_time "$started" "$loaded" 25
    # Every event, in order, at its row's time counted from the first (within 50 ms).
    expected=$(for e in $events; do printf '%d:%d ' "${e%%:*}" "0x${e#*:}"; done)
    awk -v expected="$expected" -v row="$ROW_MS" '
        BEGIN { n = split(expected, e, " ") }
        $1 == "event" { ++k; split(e[k], rc, ":"); if (k == 1) t0 = $2
            off = ($2 - t0) / 1e6 - rc[1] * row; if (off < 0) off = -off
            if ($3 != rc[2] || off > 50) { printf "event %d: Z%02X %.1f ms off\n", k, $3, off; bad = 1 } }
        END { if (k != n) { print k " events arrived, not " n; bad = 1 }; exit bad }' "$work/report" ||
        fail "the events did not arrive as written"
    # Ticks at least 55 ms apart, and they keep coming (a busy machine makes them rarer).
    awk '$1 == "ticks" {t = $2} $1 == "first_tick_ns" {f = $2} $1 == "last_tick_ns" {l = $2}
        END { span = (l - f) / 1e6; exit !((t - 1) * 55 <= span && t * 55 * 4 >= span) }' "$work/report" ||
        fail "$(report ticks) ticks over $(( ($(report last_tick_ns) - $(report first_tick_ns)) / 1000000 )) ms"
    [ "$(report allocations)" = 0 ] || fail "$(report allocations) heap allocations by the show once it ran"
    ;;
missing-module)
    prepare 40 12:1B
    rm "$work/run/data/zelto-07.tga"
    start "$show"
    check_missing_module
    ;;
fullscreen-keys)
    prepare 2020 2000:1B
    start "$show"
    check_fullscreen_keys
    ;;
no-display)
    prepare 20 12:1B
    start "$show" -u DISPLAY
    wait_exit 10
    [ "$status" = 1 ] || fail "status $status, not freeglut's 1"
    grep -q "failed to open display" "$work/stderr" && [ "$(wc -l <"$work/stderr")" = 1 ] || fail "not freeglut's one line"
    [ -s "$work/stdout" ] && fail "console output without a display"
    ;;
no-audio)
    # Z1B at row 25: the show must not wait for a device that never plays.
    prepare 40 0:00 10:01 20:0A 25:1B
    printf '</usr/share/alsa/alsa.conf>\npcm.!default { type null }\n' >"$work/alsa-null.conf"
    for setup in "no-server" "no-alsa-config:/nonexistent/alsa.conf" "null-default-device:$work/alsa-null.conf"; do
        label=${setup%%:*}
        alsa=${setup#*:}
        [ "$alsa" = "$setup" ] && alsa=/usr/share/alsa/alsa.conf
        started=$(now_ms)
        start "$probed" PULSE_SERVER=$NO_SERVER ALSA_CONFIG_PATH="$alsa"
        wait_console "Loaded."
        loaded=$(now_ms)
        case "$(threads_of)" in *k3l-silent*) ;; *) fail "no silent output (threads: $(threads_of))" ;; esac
        expect_plays_through 17
        ended_in_time "$started" "$loaded" 25
    done
    ;;
broken-data)
    prepare 20 0:00 12:1B
    rm "$work/run/data/brave.tga"
    : >"$work/run/data/gatto.tga"
    rm "$work/run/data/noise.tga" && mkdir "$work/run/data/noise.tga"
    cp "$work/run/data/zelto-07.tga" "$work/run/data/credits.tga"
    start "$probed"
    expect_plays_through 13
    ;;
window-close)
    for output in device silent; do
        label=$output
        prepare 400 0:00 395:1B
        if [ "$output" = silent ]; then start "$probed" PULSE_SERVER=$NO_SERVER; else start "$probed"; fi
        wait_console "Loaded."
        id=$(window) || fail "no window"
        sleep 1
        case "$(threads_of)" in *k3l-zxx*) ;; *) fail "the player's dispatcher does not run" ;; esac
        "$x11_probe" close "$id" || fail "cannot ask the window to close"
        wait_exit 5
        [ "$status" = 0 ] || fail "status $status after the window was closed"
        [ -s "$work/stderr" ] && fail "stderr is not empty"
        [ "$(report player_closed)" = 1 ] || fail "the player was not closed as the process ended"
    done
    ;;
escape)
    # Z06 at row 0 (scene 6), Z11 at row 2 starts the fade; 50 ticks later (about 2.75 s) scene 6
    # hands over to scene 7; Z1B at row 30 (3.6 s).
    for moment in "during the fade:1500" "at the hand-over:$((2 * ROW_MS + 2750))" "at the quit event:$((30 * ROW_MS))"; do
        label=${moment%%:*}
        prepare 40 0:06 2:11 30:1B
        start "$show" PULSE_SERVER=$NO_SERVER
        wait_console "Loaded."
        loaded=$(now_ms)
        id=$(window) || fail "no window"
        wait_ms=$(( ${moment##*:} - ($(now_ms) - loaded) ))
        [ "$wait_ms" -gt 0 ] && sleep "$(printf '%d.%03d' $((wait_ms / 1000)) $((wait_ms % 1000)))"
        press "$id" Escape
        wait_exit 10
        [ "$status" = 0 ] || fail "status $status"
        [ -s "$work/stderr" ] && fail "stderr is not empty"
    done
    ;;
*)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac
echo "ok ($case_name)"
