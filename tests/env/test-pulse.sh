#!/usr/bin/env bash
# The test environment's sound server (with-test-env.sh): its one null sink, reachable only
# through its own socket under $K3L_TEST_ENV.
#   test-pulse.sh start   starts it (on the same socket as before) and waits until it answers
#   test-pulse.sh stop    kills it, as a crash would (SIGKILL), and waits until it is gone
set -u
dir=$K3L_TEST_ENV
case "${1:-}" in
start)
    rm -f "$dir/pulse/native"
    XDG_RUNTIME_DIR="$dir/runtime" HOME="$dir" pulseaudio -n --daemonize=no --exit-idle-time=-1 \
        --disallow-exit --log-target=stderr --log-level=error \
        -L "module-null-sink sink_name=$K3L_TEST_SINK rate=44100 channels=2" \
        -L "module-native-protocol-unix auth-anonymous=1 socket=$dir/pulse/native" \
        >>"$dir/pulse.log" 2>&1 </dev/null &
    echo $! >"$dir/pulse.pid"
    for _ in $(seq 1 100); do
        pactl info >/dev/null 2>&1 && pactl set-default-sink "$K3L_TEST_SINK" && exit 0
        sleep 0.05
    done
    echo "test-pulse: PulseAudio did not start:" >&2
    cat "$dir/pulse.log" >&2
    exit 1 ;;
stop)
    kill -9 "$(cat "$dir/pulse.pid")" 2>/dev/null
    while pactl info >/dev/null 2>&1; do sleep 0.02; done ;;
*)
    echo "usage: $0 start|stop" >&2
    exit 2 ;;
esac
