#!/usr/bin/env bash
# The tests' private environment: an X server (Xvfb, no window manager) and a PulseAudio sound
# server whose only sink is a null sink that plays in real time without sound hardware, reachable
# only through its own socket.
#
#   tests/env/test-env.sh up DIR             starts both, their state in DIR, and writes DIR/env
#   tests/env/test-env.sh down DIR           ends both and removes DIR
#   tests/env/test-env.sh run DIR COMMAND... runs COMMAND with DIR/env's variables (as they are
#                                            when there is no DIR/env)
#   tests/env/test-env.sh with COMMAND...    runs COMMAND in an environment of its own, brought
#                                            down when it ends (make test-windows, test-dist)
#   $K3L_TEST_PULSE stop                     inside it: kills the sound server as a crash would
#                                            (SIGKILL) and waits until it is gone
#   $K3L_TEST_PULSE start                    starts it again on the same socket, until it answers
#
# CTest brings it up and down as a fixture around the tests that need it (tests/CMakeLists.txt).
# DIR/env exports:
#   DISPLAY              the private X server
#   PULSE_SERVER         the private sound server's socket
#   PULSE_CLIENTCONFIG   a client configuration that never spawns a server
#   K3L_TEST_SINK        the null sink's name; record "$K3L_TEST_SINK.monitor" with parec
#   K3L_SCREEN_WIDTH, K3L_SCREEN_HEIGHT   the X screen's size in pixels
#   K3L_TEST_ENV, K3L_TEST_PULSE          DIR, and this script
# Set when it comes up: K3L_TEST_NO_PULSE=1 starts no sound server (PULSE_SERVER then names a
# socket that does not exist); K3L_TEST_XVFB_OPTIONS, more options for Xvfb.
set -euo pipefail
usage="usage: $0 up DIR | down DIR | run DIR COMMAND... | with COMMAND... | start | stop"
dir=${2:-${K3L_TEST_ENV:-}}

case ${1:-} in
up)
    [ -e "$dir/env" ] && "$0" down "$dir"  # a run cut short left its servers behind
    mkdir -p "$dir/pulse" && mkdir -p -m 700 "$dir/runtime"
    width=1024 height=768  # pixels
    # -displayfd reports the display number Xvfb took; a session of its own outlives the test that started it.
    setsid Xvfb -displayfd 1 -screen 0 "${width}x${height}x24" -nolisten tcp -noreset ${K3L_TEST_XVFB_OPTIONS:-} \
        >"$dir/display" 2>"$dir/xvfb.log" </dev/null &
    echo $! >"$dir/Xvfb.pid"
    timeout 5 bash -c "until [ -s '$dir/display' ]; do sleep 0.05; done" ||
        { echo "test-env: Xvfb did not start:" >&2; cat "$dir/xvfb.log" >&2; exit 1; }
    printf 'autospawn = no\n' >"$dir/client.conf"
    cat >"$dir/env" <<EOF
export DISPLAY=:$(head -n 1 "$dir/display") K3L_SCREEN_WIDTH=$width K3L_SCREEN_HEIGHT=$height
export PULSE_SERVER=unix:$dir/pulse/native PULSE_CLIENTCONFIG=$dir/client.conf K3L_TEST_SINK=k3l_test_sink
export K3L_TEST_ENV=$dir K3L_TEST_PULSE=$(cd "$(dirname "$0")" && pwd)/test-env.sh
EOF
    source "$dir/env"
    [ "${K3L_TEST_NO_PULSE:-0}" = 1 ] || "$K3L_TEST_PULSE" start
    ;;
down)
    # Ends the processes DIR/NAME.pid names, each if it is still the program NAME, and waits until
    # each has ended (gone, or a zombie that its new parent has yet to reap).
    for name in pulseaudio Xvfb; do
        pid=$(cat "$dir/$name.pid" 2>/dev/null) && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$name" ] && kill "$pid" &&
            timeout 5 bash -c "while grep -qs '^State:[^Z]*$' /proc/$pid/status; do sleep 0.02; done" &
    done
    wait
    rm -rf "$dir"
    ;;
run)
    [ -f "$dir/env" ] && source "$dir/env"
    exec "${@:3}"
    ;;
with)
    work=$(mktemp -d /tmp/k3l-env.XXXXXX)
    trap '"$0" down "$work"' EXIT
    "$0" up "$work"
    set +e
    "$0" run "$work" "${@:2}"
    ;;
start)
    rm -f "$dir/pulse/native"
    XDG_RUNTIME_DIR="$dir/runtime" HOME="$dir" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
        --disallow-exit --log-target=stderr --log-level=error \
        -L "module-null-sink sink_name=$K3L_TEST_SINK rate=44100 channels=2" \
        -L "module-native-protocol-unix auth-anonymous=1 socket=$dir/pulse/native" \
        >>"$dir/pulse.log" 2>&1 </dev/null &
    echo $! >"$dir/pulseaudio.pid"
    for _ in $(seq 1 100); do
        pactl info >/dev/null 2>&1 && pactl set-default-sink "$K3L_TEST_SINK" && exit 0
        sleep 0.05
    done
    echo "test-env: PulseAudio did not start:" >&2
    cat "$dir/pulse.log" >&2
    exit 1
    ;;
stop)
    kill -9 "$(cat "$dir/pulseaudio.pid")" 2>/dev/null || true
    while pactl info >/dev/null 2>&1; do sleep 0.02; done
    ;;
*)
    echo "$usage" >&2
    exit 2
    ;;
esac
