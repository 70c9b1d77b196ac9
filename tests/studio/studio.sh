#!/usr/bin/env bash
# The studio end to end, at a small picture size, against the capture at the same size.
#   studio.sh CASE K3LVANA_STUDIO K3LVANA_CAPTURE DATA_DIR
# CASE is one of:
#   exact      seeks to mid scene 1, scene 5's rings, scene 6's fade and the closing card, then back:
#              each picture is the capture's frame at that time; a loop's second pass is its first
#   transport  pause moves no tick and releases no event; a tick step is one tick, back again the same
#   reload     a reload keeps the position, the loop and the picture; a broken module keeps the old one
#   range      the capture's --from/--to (seconds and order:row) writes the whole capture's frames
#   window     keys and a click through xdotool in the window: seek, loop, reload on a file change;
#              the music heard on the test sink while playing, silence while paused
set -uo pipefail
case_name=$1
studio=$2
capture=$3
data=$4
SIZE=80x60  # pixels: small, the replay's cost is the drawing
FPS=10      # frames per second of the capture the pictures are compared with

work=$(mktemp -d /tmp/k3l-studio.XXXXXX)
source "$(dirname "$0")/../env/show_lib.sh"
cd "$work" && cp -r "$data" data

# The capture's frame log of the show up to $1 seconds (all of it when absent), at the studio's size.
whole_log() {
    "$capture" -o whole.mp4 --size $SIZE --fps $FPS --quiet --frame-log whole.log ${1:+--seconds $1} \
        >/dev/null 2>capture.err || fail "capture failed: $(cat capture.err)"
}

# The hash of the capture's frame at $1 seconds (a multiple of 1/FPS, written as in the log).
frame_hash() {
    awk -v t="$1" '$1 == "frame" && $3 == t {print $6}' whole.log
}

# Runs the studio's script $1 (more options after it); its lines go to script.out.
script() {
    local commands=$1
    shift
    "$studio" --size $SIZE --script "$commands" "$@" >stdout 2>stderr || fail "studio failed: $(cat stderr)"
    grep '^at ' stdout >script.out
}

# The field after the word $2 on line $1 of script.out.
field() {
    sed -n "${1}p" script.out | awk -v w="$2" '{for (i = 1; i < NF; ++i) if ($i == w) print $(i + 1)}'
}

case $case_name in
exact)
    whole_log
    times=(30.000000 140.000000 189.000000 200.000000 140.000000 30.000000)
    script "s30,h,s140,h,s189,h,s110,s200,h,s140,h,s30,h,s10.3,h,w1,h,w1,h" --loop 10 11
    for i in "${!times[@]}"; do
        want=$(frame_hash "${times[$i]}")
        got=$(field $((i + 1)) hash)
        [ -n "$want" ] && [ "$got" = "$want" ] || fail "picture at ${times[$i]} s: $got, the capture's $want"
    done
    want=$(frame_hash 10.300000)
    for line in 7 8 9; do
        [ "$(field $line hash)" = "$want" ] || fail "loop pass $((line - 6)) at $(field $line at): $(field $line hash), the capture's $want"
    done
    ;;
transport)
    script "s50,kspace,h,w2,h,kperiod,h,kcomma,h,kspace,w1,h"
    [ "$(sed -n 1p script.out)" = "$(sed -n 2p script.out)" ] || fail "paused for 2 s: $(sed -n 1,2p script.out)"
    [ "$(field 3 tick)" = $(($(field 1 tick) + 1)) ] || fail "a tick step: $(sed -n 1p script.out) then $(sed -n 3p script.out)"
    [ "$(field 4 hash)" = "$(field 1 hash)" ] && [ "$(field 4 tick)" = "$(field 1 tick)" ] ||
        fail "a tick back: $(sed -n 4p script.out)"
    [ "$(field 5 tick)" -gt "$(field 1 tick)" ] || fail "resumed for 1 s: $(sed -n 5p script.out)"
    ;;
reload)
    cp data/zelto-07.tga song.it
    head -c 1000 /dev/urandom >broken.it
    script "s22,h,msong.it,h,mbroken.it,h" --module song.it --loop 20 25
    for line in 2 3; do
        [ "$(sed -n 1p script.out)" = "$(sed -n ${line}p script.out)" ] ||
            fail "after reload $((line - 1)): $(sed -n ${line}p script.out), before: $(sed -n 1p script.out)"
    done
    grep -q "reloaded song.it" stderr && grep -q "cannot load the module broken.it; the previous one plays on" stderr ||
        fail "the reload messages: $(cat stderr)"
    ;;
range)
    whole_log 20
    for range in "--from 12.25 --to 14" "--from 2:0 --to 2:8"; do
        "$capture" -o part.mp4 --size $SIZE --fps $FPS --quiet --frame-log part.log $range >/dev/null 2>&1 ||
            fail "capture $range failed"
        grep -q '^frame' part.log || fail "capture $range wrote no frame"
        extra=$(grep '^frame' part.log | grep -vxFf <(grep '^frame' whole.log))
        [ -z "$extra" ] || fail "capture $range: frames not in the whole capture: $extra"
        first=$(grep -m1 '^frame' part.log | awk '{print $2}')
        [ "$first" = 123 ] || [ "$first" -gt 100 -a "${range#--from 2}" != "$range" ] || fail "capture $range starts at frame $first"
    done
    ;;
window)
    "$studio" --size 320x240 --start 30 >stdout 2>stderr &
    pid=$!
    id=$(timeout 60 xdotool search --sync --onlyvisible --name '^k3lvana studio' | head -n 1)
    [ -n "$id" ] || fail "no window"
    # Waits until the window's title (its status line) matches $1.
    title_is() {
        for _ in $(seq 1 300); do
            xdotool getwindowname "$id" | grep -Eq "$1" && return 0
            sleep 0.05
        done
        fail "title never matched '$1': $(xdotool getwindowname "$id")"
    }
    # The loudest sample the test sink plays for $1 seconds.
    loudest() {
        timeout "$1" parec -d "$K3L_TEST_SINK.monitor" --format=s16le --rate=44100 --channels=2 >sink.raw
        sox -t raw -r 44100 -e signed -b 16 -c 2 sink.raw -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}'
    }
    sleep 1
    awk -v a="$(loudest 1)" 'BEGIN {exit !(a > 0.1)}' || fail "no music heard while playing"
    press "$id" space
    title_is '\|\| +3[0-9]\.'
    sleep 0.3
    [ "$(loudest 0.5)" = 0.000000 ] || fail "music heard while paused"
    press "$id" shift+Right
    title_is '\|\| +4[0-9]\.'
    press "$id" i Right Right o l space
    title_is '> +4[0-9].*loop'
    sleep 3
    title_is '> +4[0-9].*loop'  # two seconds of loop, played for three: back inside it
    press "$id" l
    xdotool mousemove --window "$id" 160 260 click 1
    title_is ' 10[0-9]\.[0-9]+ s'  # the timeline's middle: half the show's 207 s
    cp data/zelto-07.tga data/zelto-07.tga.new && mv data/zelto-07.tga.new data/zelto-07.tga
    for _ in $(seq 1 300); do grep -q reloaded stderr && break; sleep 0.1; done
    grep -q "reloaded data" stderr || fail "no reload after the module changed"
    press "$id" Escape
    wait_exit 10
    [ "$status" = 0 ] || fail "status $status after Escape"
    ;;
*)
    fail "no such case"
    ;;
esac
