#!/usr/bin/env bash
# Runs a command inside a private test environment: an X server (Xvfb, no
# window manager) and a PulseAudio sound server whose only sink is a null sink
# that plays in real time without sound hardware.
#
#   tests/env/with-test-env.sh COMMAND [ARGS...]
#
# Exported to the command:
#   DISPLAY              the private X server
#   PULSE_SERVER         the private sound server's socket
#   PULSE_CLIENTCONFIG   a client configuration that never spawns a server
#   K3L_TEST_SINK        the null sink's name; record "$K3L_TEST_SINK.monitor" with parec
#   K3L_SCREEN_WIDTH, K3L_SCREEN_HEIGHT   the X screen's size in pixels
#   K3L_TEST_PULSE       test-pulse.sh: `$K3L_TEST_PULSE stop` kills the sound server as a crash
#                        would, `$K3L_TEST_PULSE start` starts it again on the same socket
#
# K3L_TEST_NO_PULSE=1 starts no sound server (PULSE_SERVER then names a socket
# that does not exist), for runs without any audio output.
set -euo pipefail

if [ $# -eq 0 ]; then
    echo "usage: $0 COMMAND [ARGS...]" >&2
    exit 2
fi

work=$(mktemp -d /tmp/k3l-env.XXXXXX)
xvfb_pid=""
cleanup() {
    [ -s "$work/pulse.pid" ] && kill "$(cat "$work/pulse.pid")" 2>/dev/null && sleep 0.1
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

export K3L_SCREEN_WIDTH=1024 K3L_SCREEN_HEIGHT=768

# X server: -displayfd reports the display number it managed to take.
Xvfb -displayfd 1 -screen 0 "${K3L_SCREEN_WIDTH}x${K3L_SCREEN_HEIGHT}x24" -nolisten tcp -noreset \
    >"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 1 100); do
    [ -s "$work/display" ] && break
    sleep 0.05
done
if ! [ -s "$work/display" ]; then
    echo "with-test-env: Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$(head -n 1 "$work/display")"

# Sound server on a null sink, reachable only through its own socket.
mkdir -p "$work/pulse" "$work/runtime"
chmod 700 "$work/runtime"
printf 'autospawn = no\n' >"$work/client.conf"
export PULSE_CLIENTCONFIG="$work/client.conf"
export PULSE_SERVER="unix:$work/pulse/native"
export K3L_TEST_SINK=k3l_test_sink
export K3L_TEST_ENV="$work" K3L_TEST_PULSE="$(cd "$(dirname "$0")" && pwd)/test-pulse.sh"
if [ "${K3L_TEST_NO_PULSE:-0}" != 1 ]; then
    "$K3L_TEST_PULSE" start || exit 1
fi

set +e
"$@"
status=$?
exit "$status"
