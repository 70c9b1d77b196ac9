#!/usr/bin/env bash
# The Windows build under Wine, inside `tests/env/test-env.sh with` (Xvfb without MIT-SHM, a PulseAudio null sink):
#   test-windows.sh WIN_BUILD NATIVE_BUILD
# WIN_BUILD holds k3lvana.exe and play_events.exe (scripts/windows/build.sh); NATIVE_BUILD the
# show's data and the native helpers. Wine runs in a private prefix kept in WIN_BUILD/wineprefix;
# the wineserver is waited for between runs (it lingers, and the next run would inherit it).
set -uo pipefail
win=$(cd "$1" && pwd)
native=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

# Wine draws GL through Mesa's software rasteriser, which stops showing anything in a window once it
# has been resized (full screen included) when the X server offers MIT-SHM: these runs want an X server
# without it, as a remote display would be (make test-windows brings the test environment up so).
xdpyinfo -queryExtensions | grep -q MIT-SHM && { echo "FAIL: the X server offers MIT-SHM" >&2; exit 1; }

export WINEPREFIX="$win/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null
if [ ! -e "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || { echo "FAIL: wineboot could not make $WINEPREFIX" >&2; exit 1; }
fi
wineserver -w

make_module=$native/tests/support/make_sync_module
x11_probe=$native/tests/show/x11_probe
passed=0
failed=0

# Runs one case in a subshell of its own (show_lib.sh ends it at the first failure).
run_case() {
    local started=$SECONDS
    if (case_name=$1 && work=$(mktemp -d /tmp/k3l-win.XXXXXX) && source "$here/../env/show_lib.sh" && "case_$1"); then
        passed=$((passed + 1))
        echo "ok ($1, $((SECONDS - started)) s)"
    else
        failed=$((failed + 1))
    fi
    wineserver -w
}

# A run directory with the show's images, and a module of ROWS rows with the given events unless none.
prepare() {
    mkdir -p "$work/run/data"
    cp "$native"/data/*.tga "$work/run/data/"
    rm -f "$work/run/data/zelto-07.tga"
    [ $# -eq 0 ] || "$make_module" "$work/run/data/zelto-07.tga" "$@" || fail "cannot write the module"
}

# The show's executable: the build's, unless a case copies it elsewhere.
program=$win/k3lvana.exe

# Starts the show under Wine in run/, stdout and stderr in $work; WINEDLLOVERRIDES as given, if any,
# then the show's arguments.
start() {
    (cd "$work/run" && WINEDLLOVERRIDES="${1:-$WINEDLLOVERRIDES}" exec wine "$program" "${@:2}" >"$work/stdout" \
        2>"$work/stderr") &
    pid=$!
}

# Success: the console text, and the module's quit event ends the show with status 0.
case_console_quit() {
    prepare 32 12:1B
    start
    wait_exit 30
    [ "$status" = 0 ] || fail "status $status"
    expect_console expect_loaded
}

# The show and its data in a folder of their own, started by its full path from an empty run/: it
# reads the data beside it.
case_elsewhere() {
    prepare 32 12:1B
    mkdir "$work/program"
    cp "$win/k3lvana.exe" "$work/program/"
    mv "$work/run/data" "$work/program/data"
    program=$work/program/k3lvana.exe
    start
    wait_exit 30
    [ "$status" = 0 ] || fail "status $status"
    expect_console expect_loaded
}

# The command line, as on Linux: --version, a wrong option (status 2 before any window), --window
# kept in its 640 x 480 window with the pointer hidden.
case_options() {
    prepare 2020 0:01 2000:1B
    start "" --version
    wait_exit 30
    [ "$status" = 0 ] && [ "$(tr -d '\r' <"$work/stdout")" = "k3lvana $(cat "$native/packaging/version")" ] ||
        fail "--version: status $status"
    start "" --window --bogus
    wait_exit 30
    [ "$status" = 2 ] && [ "$(head -n 1 "$work/stderr" | tr -d '\r')" = "k3lvana: unknown option '--bogus'" ] ||
        fail "--bogus: status $status"
    ! [ -s "$work/stdout" ] || fail "console output for --bogus"
    start "" --window
    id=$(window) || fail "no window"
    wait_console "Loaded."
    sleep 1
    [ "$(size_of "$id")" = 640x480 ] || fail "window is $(size_of "$id"), not 640x480"
    [ "$("$x11_probe" pointer "$id")" = hidden ] || fail "the pointer shows over the window"
    press "$id" Escape
    wait_exit 10
    [ "$status" = 0 ] || fail "status $status"
    expect_console expect_loaded
}

# Without the module, and with a long song: show_lib.sh's checks, as on Linux.
case_missing_module() { prepare && start && check_missing_module; }
case_fullscreen_keys() { prepare 2020 0:01 2000:1B && solid_scenes && start && check_fullscreen_keys; }

# Scene cuts on screen at their rows' times, with no audio device at all (Wine's sound drivers
# disabled: the silent output keeps the song's time): solid-colour images (scene 1's backdrop red,
# scene 2's blue, the rest transparent), cuts to 1, 2, 1 at rows 10, 30, 50 (2.4 s apart), the quit
# event at 70.
case_scene_cuts() {
    prepare
    solid_scenes
    "$make_module" "$work/run/data/zelto-07.tga" 80 10:01 30:02 50:01 70:1B || fail "cannot write the module"
    start "$WINEDLLOVERRIDES;winepulse.drv,winealsa.drv,wineoss.drv=d"
    id=$(window) || fail "no window"
    wait_console "Loaded."
    "$x11_probe" watch "$id" >"$work/colours" &
    wait_exit 30
    [ "$status" = 0 ] || fail "status $status"
    wait
    # The dark opening, then red, blue, red; each cut 2.4 s after the one before.
    expect_cuts RBR 2400 1
}

# The sound server killed mid-show and started again, as on Linux (tests/show/show.sh sound-loss):
# every cut shows, the music is heard again on the restarted server, and the show ends by itself at
# its quit event.
case_sound_loss() {
    prepare
    solid_scenes
    local events="" row
    for row in $(seq 8 4 128); do
        if [ $(((row - 8) % 20)) = 0 ]; then events+=" $row:0$(((row - 8) / 20 % 2 + 1))"; else events+=" $row:0A"; fi
    done
    "$make_module" "$work/run/data/zelto-07.tga" 140 $events 132:1B || fail "cannot write the module"
    start
    id=$(window) || fail "no window"
    wait_console "Loaded."
    "$x11_probe" watch "$id" >"$work/colours" &
    wait_red
    sleep 3
    "$K3L_TEST_PULSE" stop
    sleep 3.5
    "$K3L_TEST_PULSE" start || fail "the sound server did not start again"
    "$native/tests/show/monitor_onsets" 16 >"$work/onsets" &
    wait_exit 40
    [ "$status" = 0 ] || fail "status $status"
    wait
    expect_loaded | cmp -s - <(tr -d '\r' <"$work/stdout") || fail "console text differs"
    [ "$(grep -c '^onset' "$work/onsets")" -ge 5 ] || fail "the music was not heard again on the restarted server"
    # Every cut, in order; their times are not judged: Wine's audio output underruns now and then,
    # and the song waits for it each time (docs/windows.md).
    expect_cuts RBRBRBR 2400 7
}

# The music on the sink's monitor (a click for each event) and the events' timing against it, measured
# and printed, not judged (bench/event_timing; figures in docs/windows.md), through the
# given DLL overrides: WASAPI, or MME when avrt.dll, which PortAudio needs for WASAPI, is missing (as on
# Windows XP: MME goes through the same sound server, and its jittery device
# has to start the song after the player's bounded wait).
timing() {
    WINEDLLOVERRIDES="$1" "$native/bench/event_timing" --minutes 0.25 --player "wine $win/play_events.exe" \
        >"$work/timing" 2>"$work/stderr"
    cat "$work/timing" | sed "s/^/    $case_name: /"
    grep -q '^arrived: \([0-9]*\) of \1,' "$work/timing" || fail "not every event arrived"
    local events onsets
    events=$(sed -n 's/^song: .*, \([0-9]*\) events$/\1/p' "$work/timing")
    onsets=$(sed -n 's/^recording: .*, \([0-9]*\) onsets;.*/\1/p' "$work/timing")
    [ "${onsets:-0}" -ge "${events:-1}" ] || fail "${onsets:-no} clicks heard for ${events:-?} events"
}
case_timing_wasapi() { timing "mscoree,mshtml="; }
case_timing_mme() { timing "mscoree,mshtml=;avrt=d"; }

for name in ${K3L_WINDOWS_CASES:-console_quit elsewhere options missing_module fullscreen_keys scene_cuts sound_loss timing_wasapi timing_mme}; do
    run_case "$name"
done
wineserver -k 2>/dev/null
echo "test-windows: $passed passed, $failed failed"
[ "$failed" = 0 ]
