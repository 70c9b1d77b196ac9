#!/usr/bin/env bash
# The real show end to end, in the test environment (tests/env/test-env.sh: an X server and a
# sound server of its own), and under faults: what a person at the screen, or the machine around it, would see.
#   show.sh CASE K3LVANA K3LVANA_PROBED DATA_DIR MAKE_SYNC_MODULE X11_PROBE MONITOR_ONSETS
# CASE is one of:
#   plays            the console byte for byte, every Zxx event in order and on time, ticks 55 ms
#                    apart or more, no allocation by the show once it runs, status 0 at the quit event
#   missing-module   the failure text, the 640 x 480 window, the pointer hidden, Escape ends it with 0
#   fullscreen-keys  full screen once loaded, covering the screen exactly (no window manager runs), the
#                    pointer hidden, other keys do nothing, Escape: 0
#   fullscreen-wm    the same under a window manager (openbox)
#   no-display       DISPLAY unset: freeglut's one line, status 1, no console text
#   no-audio         no sound server, no ALSA configuration, a null default device: the silent show on time
#   broken-data      an image missing, one empty, a directory and the module in place of two: 13 textures
#   window-close     the window manager closes the window, on the device and the silent output: a clean end,
#                    the player closed by the process's exit handlers
#   escape           Escape during the fade, at the hand-over to scene 7, at the quit event: status 0
#   sound-loss       the sound server killed mid-show and started again: the cuts keep their times on the
#                    screen, every event once and on its row's time (on the silent output the timeline the
#                    device was heard on, after the return the clicks heard), the music heard again, status 0
#   stop-continue    the process stopped (SIGSTOP) for 3 s and continued, on the silent output: the song and
#                    its events resume together,
#                    none lost or doubled, the ticks do not catch up, status 0
#   display-gone     the X server ends mid-show: the process ends within seconds, with status 1
#   options          --help and --version print and exit with 0; a wrong option or argument: a line and
#                    the usage on stderr, status 2, before any window (without a display too); --window
#                    stays 640 x 480 with the pointer hidden, without a window manager and under openbox
#   elsewhere        the show and its data in a folder of their own, started by its full path from an
#                    empty directory: it plays; a data folder in the working directory comes first
# K3LVANA_PROBED is the show with tests/show/show_probe.cpp linked in (counts and events, K3L_PROBE_REPORT).
set -uo pipefail

case_name=$1
show=$2
probed=$3
data=$4
make_module=$5
x11_probe=$6
monitor_onsets=$7

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

# Starts a build of the show in run/, in the environment given first (env words), with the
# arguments given after a "--".
start() {
    local binary=$1 words=()
    shift
    while [ $# -gt 0 ] && [ "$1" != -- ]; do
        words+=("$1")
        shift
    done
    [ $# -gt 0 ] && shift
    rm -f "$work/stdout" "$work/stderr" "$work/report"
    (cd "$work/run" && K3L_PROBE_REPORT="$work/report" exec env "${words[@]}" "$binary" "$@" \
        >"$work/stdout" 2>"$work/stderr") &
    pid=$!
}

# Starts openbox on the test X server and waits until it runs; when the case ends, the root is left
# as it was: openbox leaves its check window's id on the root when it ends, and freeglut fails on
# such a stale id (BadWindow) before the show starts.
start_openbox() {
    openbox --sm-disable >"$work/openbox" 2>&1 &
    wm=$!
    trap 'kill $wm 2>/dev/null; wait $wm; xprop -root -remove _NET_SUPPORTING_WM_CHECK; finish' EXIT
    for _ in $(seq 1 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.05
    done
    xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || fail "openbox did not start"
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

# The probed show's events as "ROW NANOSECONDS BYTE", matched in order with the written "ROW:HEX"
# events given; fails unless every written event arrived once, in order, and no other.
events_by_row() {
    awk -v expected="$1" '
        BEGIN { n = split(expected, e, " ") }
        $1 == "event" { ++k; split(e[k], rc, ":")
            code = (index("0123456789ABCDEF", toupper(substr(rc[2], 1, 1))) - 1) * 16 + index("0123456789ABCDEF", toupper(substr(rc[2], 2, 1))) - 1
            if (k > n || $3 != code) { print "event " k " is Z" sprintf("%02X", $3) ", not " e[k]; bad = 1; exit }
            print rc[1], $2, $3 }
        END { if (!bad && k != n) { print k " events arrived, not " n; bad = 1 }; exit bad }' "$work/report"
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
    events_by_row "$events" >"$work/rows" || fail "$(cat "$work/rows")"
    awk -v row="$ROW_MS" 'NR == 1 { t0 = $2 } { off = ($2 - t0) / 1e6 - $1 * row
        if (off > 50 || off < -50) { printf "row %d: Z%02X %.1f ms off\n", $1, $3, off; bad = 1 } } END { exit bad }' \
        "$work/rows" >"$work/why" || fail "the events did not arrive on time: $(cat "$work/why")"
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
fullscreen-keys|fullscreen-wm)
    [ "$case_name" = fullscreen-wm ] && start_openbox
    prepare 2020 0:01 2000:1B
    solid_scenes
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
sound-loss)
    # Cuts to scenes 1 and 2 in turn every 20 rows (2.4 s) from row 8, a beat on every kick row
    # (every fourth) between them, the quit event at row 132 (15.8 s). The sound server is killed
    # 3 s after the first cut is seen (the device has settled by then) and started again 3.5 s later.
    events=""
    for row in $(seq 8 4 128); do
        if [ $(((row - 8) % 20)) = 0 ]; then events+=" $row:0$(((row - 8) / 20 % 2 + 1))"; else events+=" $row:0A"; fi
    done
    events+=" 132:1B"
    prepare 140 $events
    solid_scenes
    start "$probed"
    wait_console "Loaded."
    id=$(window) || fail "no window"
    "$x11_probe" watch "$id" >"$work/colours" &
    watching=$!
    wait_red
    sleep 3
    "$K3L_TEST_PULSE" stop
    sleep 3.5
    "$K3L_TEST_PULSE" start || fail "the sound server did not start again"
    "$monitor_onsets" 10 >"$work/onsets" &
    listening=$!
    wait_exit 30
    [ "$status" = 0 ] || fail "status $status"
    wait "$listening" "$watching"
    expect_loaded | cmp -s - "$work/stdout" || fail "console text differs"
    # PortAudio's own words on the lost stream are the only ones allowed on stderr.
    grep -v "^Expression '.*' failed in '.*', line: [0-9]*$" "$work/stderr" >"$work/other" && fail "stderr: $(head -c 300 "$work/other")"
    # (A stream opened as the server comes back may be lost again at once, on a busy machine.)
    [ "$(report losses)" -ge 1 ] && [ "$(report reopens)" -ge 1 ] && [ "$(report taken_back_at_ns)" -gt 0 ] ||
        fail "losses $(report losses), reopens $(report reopens): the device was not lost and taken back"
    events_by_row "$events" >"$work/rows" || fail "$(cat "$work/rows")"
    # Before the device came back the events keep the timeline they were heard on (the median offset of
    # the events in the second and a half before the loss, or the last one's); after it, they are where the clicks of their
    # rows are heard: the medians within 5 ms on the silent output, within 10 ms after the return (the new
    # stream's reported latency was once off by 6.5 ms in 14 runs; it may also stall for a while as it
    # starts, which moves a few events further; the figures are printed).
    awk -v lost="$(report lost_at_ns)" -v over="$(report taken_over_at_ns)" -v back="$(report taken_back_at_ns)"         -v row="$ROW_MS" -v restarted="$(awk '$1 == "started" {print $2}' "$work/onsets")" '
        FNR == NR { if ($1 == "onset") onset[++m] = $2; next }
        { off = $2 - $1 * row * 1e6
          if ($2 < lost) { if ($2 > lost - 1.5e9) before[++b] = off; last = off } else if ($2 < back) during[++d] = off; else { after[++a] = $2 } }
        function sort(v, n,   i, j, x) { for (i = 2; i <= n; ++i) { x = v[i]; for (j = i - 1; j > 0 && v[j] > x; --j) v[j + 1] = v[j]; v[j + 1] = x } }
        function abs(x) { return x < 0 ? -x : x }
        END {
            sort(before, b); origin = b > 0 ? before[int((b + 1) / 2)] : last
            for (i = 1; i <= d; ++i) { late[i] = (during[i] - origin) / 1e6; if (abs(late[i]) > abs(worst)) worst = late[i] }
            sort(late, d)
            if (abs(late[int((d + 1) / 2)]) > 5) bad = bad " the silent events left the timeline (median " late[int((d + 1) / 2)] " ms);"
            for (i = 1; i <= a; ++i) { best = 1e18
                for (j = 1; j <= m; ++j) if (abs(after[i] - onset[j]) < abs(best)) best = after[i] - onset[j]
                err[i] = best / 1e6 }
            sort(err, a)
            if (abs(err[int((a + 1) / 2)]) > 10) bad = bad " the events after the return are off their clicks (median " err[int((a + 1) / 2)] " ms);"
            if (m < 5) bad = bad " the music was not heard again on the restarted server;"
            printf "sound-loss: takeover %.1f ms after the last buffer; %d events before, %d silent (median %.2f, worst %.2f ms off the timeline), %d after the return (median %.2f, p95 %.2f, max %.2f ms from their clicks); music played again %.0f ms after the server was back, its first click heard %.0f ms after\n", (over - lost) / 1e6, b, d, late[int((d + 1) / 2)], worst, a, err[int((a + 1) / 2)], err[int(a * 0.95 + 0.5)], (abs(err[1]) > abs(err[a]) ? err[1] : err[a]), (back - restarted) / 1e6, (onset[1] - restarted) / 1e6
            if (d < 3 || a < 5) bad = bad " too few events on either side";
            if (bad != "") { print bad; exit 1 }
        }' "$work/onsets" "$work/rows" >"$work/why" || fail "$(cat "$work/why")"
    cat "$work/why"
    # From the third cut on: a sound server's new stream may stall for a while as it starts, and the
    # song waits for it.
    expect_cuts RBRBRBR 2400 2
    ;;
stop-continue)
    # A cut to scene 1 at row 4, a beat on every kick row after it, the quit event at row 56 (6.7 s);
    # the process is stopped 1.5 s after the cut is seen, for 3 s; on the silent output, whose clock
    # is the player's own (a device keeps its own time, and sets the song's as it plays again).
    events=" 4:01"
    for row in $(seq 8 4 52); do events+=" $row:0A"; done
    events+=" 56:1B"
    prepare 64 $events
    solid_scenes
    start "$probed" PULSE_SERVER=$NO_SERVER
    wait_console "Loaded."
    id=$(window) || fail "no window"
    "$x11_probe" watch "$id" >"$work/colours" &
    wait_red
    sleep 1.5
    kill -STOP "$pid"
    sleep 3
    kill -CONT "$pid"
    wait_exit 30
    [ "$status" = 0 ] || fail "status $status"
    wait
    events_by_row "$events" >"$work/rows" || fail "$(cat "$work/rows")"
    # The music waited: one gap between events grew by about the 3 s, every other is its rows' time
    # (within 60 ms: the device starts again at its own pace). The ticks went on at their rate, with
    # no catching up for the time stood still.
    awk -v row="$ROW_MS" 'NR > 1 { d = ($2 - t) / 1e6 - ($1 - r) * row; if (d > 2500) ++waited; else if (d > 60 || d < -60) { print "rows " r "-" $1 " " d " ms off"; exit 1 } }
        { r = $1; t = $2 } END { if (waited != 1) { print "the music did not wait once (" waited + 0 ")"; exit 1 } }' "$work/rows" >"$work/why" ||
        fail "$(cat "$work/why"): $(cat "$work/rows" | tr '\n' ' ')"
    awk '$1 == "ticks" {t = $2} $1 == "first_tick_ns" {f = $2} $1 == "last_tick_ns" {l = $2}
        END { exit !(t * 55 <= (l - f) / 1e6 - 2500) }' "$work/report" || fail "the ticks caught up: $(report ticks) ticks"
    ;;
display-gone)
    # An X server of this case's own, ended while the show plays.
    prepare 400 0:00 395:1B
    Xvfb -displayfd 1 -screen 0 640x480x24 -nolisten tcp >"$work/display" 2>/dev/null &
    xvfb=$!
    for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.05; done
    start "$show" DISPLAY=":$(head -n 1 "$work/display")"
    wait_console "Loaded."
    sleep 1
    kill "$xvfb"
    gone=$(now_ms)
    wait_exit 5
    echo "display-gone: status $status, $(($(now_ms) - gone)) ms after the X server ended"
    [ "$status" = 1 ] || fail "status $status, not Xlib's 1"
    ;;
options)
    prepare 2020 0:01 2000:1B
    start "$show" -- --help
    wait_exit 10
    [ "$status" = 0 ] && ! [ -s "$work/stderr" ] || fail "--help: status $status"
    cp "$work/stdout" "$work/usage"
    [ "$(head -n 1 "$work/usage")" = "usage: k3lvana [--window]" ] && grep -q '^  --window ' "$work/usage" ||
        fail "--help printed: $(cat "$work/usage")"
    start "$show" -- --version
    wait_exit 10
    [ "$status" = 0 ] && ! [ -s "$work/stderr" ] || fail "--version: status $status"
    [ "$(cat "$work/stdout")" = "k3lvana $(cat "$(dirname "$data")/packaging/version")" ] ||
        fail "--version printed '$(cat "$work/stdout")'"
    # Refused before GLUT starts: also without a display, where freeglut would end with its 1.
    for wrong in "--bogus:unknown option '--bogus'" "-display:unknown option '-display'" \
        "--window=1:option '--window=1' takes no value" "stray:unexpected argument 'stray'"; do
        for display in "DISPLAY=$DISPLAY" "-u DISPLAY"; do
            label="${wrong%%:*}, $display"
            start "$show" $display -- --window "${wrong%%:*}" :0
            wait_exit 10
            [ "$status" = 2 ] || fail "status $status"
            { echo "k3lvana: ${wrong#*:}"; cat "$work/usage"; } | cmp -s - "$work/stderr" || fail "not the line and the usage"
            ! [ -s "$work/stdout" ] || fail "console output"
        done
    done
    xdotool search --name '^k3lvana$' >/dev/null && fail "a window was opened"
    # --window: the loaded show stays in its window, without and with a window manager.
    for wm in none openbox; do
        label="--window, window manager: $wm"
        [ "$wm" = openbox ] && start_openbox
        start "$show" -- --window
        id=$(window) || fail "no window"
        wait_console "Loaded."
        sleep 1
        [ "$(size_of "$id")" = 640x480 ] || fail "window is $(size_of "$id"), not 640x480"
        xprop -id "$id" _NET_WM_STATE | grep -q FULLSCREEN && fail "the window manager was asked for full screen"
        [ "$("$x11_probe" pointer "$id")" = hidden ] || fail "the pointer shows over the window"
        press "$id" Escape
        wait_exit 10
        [ "$status" = 0 ] || fail "status $status"
        expect_console expect_loaded
    done
    ;;
elsewhere)
    # run/ is the empty working directory; the show and its data are in program/.
    prepare 20 12:1B
    mkdir "$work/program"
    cp "$show" "$work/program/k3lvana"
    mv "$work/run/data" "$work/program/data"
    start "$work/program/k3lvana" PULSE_SERVER=$NO_SERVER
    wait_exit 20
    [ "$status" = 0 ] || fail "status $status"
    expect_console expect_loaded
    label="a data folder in the working directory"
    cp -r "$work/program/data" "$work/run/data"
    rm "$work/run/data/zelto-07.tga"
    start "$work/program/k3lvana"
    check_missing_module
    ;;
*)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac
echo "ok ($case_name)"
