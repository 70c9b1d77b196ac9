#!/usr/bin/env bash
# The studio end to end, at a small picture size, against the capture at the same size.
#   studio.sh CASE K3LVANA_STUDIO K3LVANA_CAPTURE DATA_DIR
# CASE is one of:
#   exact      seeks to mid scene 1, scene 5's rings, scene 6's fade and the closing card, then back:
#              each picture is the capture's frame at that time; a loop's second pass is its first
#   transport  pause moves no tick and releases no event; a tick step is one tick, back again the same
#   reload     a reload keeps the position, the loop and the picture; a broken module keeps the old one
#   change     after a module changed late (with the picture past the change) and early, each picture
#              is the capture's with the new module
#   range      the capture's --from/--to (seconds and order:row) writes the whole capture's frames
#   window     keys and a click through xdotool in the window: seek, loop, reload on a file change;
#              the music heard on the test sink while playing, silence while paused; nothing on stderr
#              but the studio's own lines (none of the sound libraries' probing)
#   heard      after a seek in the window, every kick heard on the test sink has its row's event
#              reach the show within 5 ms
set -uo pipefail
case_name=$1
studio=$2
capture=$3
data=$4
probed=$5
make_module=$6
monitor_onsets=$7
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
    # Seeks back and forth (scene 4's white clear colour to the closing card among them), then forty
    # all over the show in a shuffled order, each the capture's frame; then a loop's three passes.
    times=(30.000000 140.000000 189.000000 110.000000 200.000000 140.000000 30.000000
        $(awk 'BEGIN { srand(11); for (i = 0; i < 41; ++i) printf "%.6f %f\n", i * 5.1, rand() }' | sort -k2 | cut -d' ' -f1))
    script "$(printf 's%s,h,' "${times[@]}")s10.3,h,w1,h,w1,h" --loop 10 11
    for i in "${!times[@]}"; do
        want=$(frame_hash "${times[$i]}")
        [ -n "$want" ] && [ "$(field $((i + 1)) hash)" = "$want" ] || fail "picture at ${times[$i]} s: $(field $((i + 1)) hash), the capture's $want"
    done
    for line in 0 1 2; do
        line=$((${#times[@]} + 1 + line))
        [ "$(field $line hash)" = "$(frame_hash 10.300000)" ] || fail "loop pass at $(field $line at): $(field $line hash)"
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
    # Images changed on disk while the studio stands in scene 1, which shows afraid512.tga: from
    # missing to blue, back to the show's own, then broken. Each picture, here and after a seek back,
    # is the capture's with the image of the moment.
    whole_log 31
    mkdir blue && cp -r data blue/ && solid_image blue/data/afraid512.tga '\xff\0\0\xff'
    (cd blue && "$capture" -o blue.mp4 --size $SIZE --fps $FPS --quiet --frame-log ../blue.log --seconds 31) >/dev/null 2>&1 ||
        fail "capture with the blue image failed"
    mv data/afraid512.tga afraid512.tga
    coproc STUDIO { "$studio" --size $SIZE --script - --loop 25 35 2>stderr; }
    # Sends a line of commands and echoes the next line the studio prints about where it stands.
    ask() {
        echo "$1" >&"${STUDIO[1]}"
        while read -r line <&"${STUDIO[0]}"; do
            case $line in "at "*) echo "$line"; return ;; esac
        done
        fail "the studio ended: $(cat stderr)"
    }
    # Fails unless the studio's picture after $1 is the frame at $3 s of the capture's log $2.
    expect_frame() {
        local got want
        got=$(ask "$1")
        want=$(awk -v t="$3" '$1 == "frame" && $3 == t {print $6}' "$2")
        [ -n "$want" ] && [ "${got##* }" = "$want" ] || fail "after '$1' with $2's image: $got, the capture's $want"
        [ "$(echo "$got" | awk '{print $10, $11, $12}')" = "25.000000 35.000000 1" ] || fail "the loop was lost: $got"
    }
    ask s30,h >/dev/null
    cp blue/data/afraid512.tga data/afraid512.tga
    expect_frame h blue.log 30.000000
    cp afraid512.tga data/afraid512.tga.new && mv data/afraid512.tga.new data/afraid512.tga
    expect_frame h whole.log 30.000000
    expect_frame s29,h whole.log 29.000000
    head -c 100 blue/data/afraid512.tga >data/afraid512.tga
    expect_frame h whole.log 29.000000
    exec {STUDIO[1]}>&-
    wait "$STUDIO_PID" || fail "the studio failed: $(cat stderr)"
    grep -q "reloaded data/afraid512.tga" stderr &&
        grep -q "cannot load the image data/afraid512.tga (not an uncompressed 24- or 32-bit TGA); the previous one stays" stderr ||
        fail "the image reload messages: $(cat stderr)"
    ;;
change)
    # A 48 s song cutting to scenes 1, 2 and 3, and two changes: a cut to scene 4 at 42 s, a beat at 2.4 s.
    marks="0:01 40:0A 80:02 200:0A 300:03 396:1B"
    "$make_module" song.it 400 $marks && "$make_module" late.it 400 $marks 350:04 &&
        "$make_module" early.it 400 $marks 20:0A || fail "cannot write the modules"
    for song in late early; do
        mkdir $song && cp -r data $song/ && cp $song.it $song/data/zelto-07.tga
        (cd $song && "$capture" -o $song.mp4 --size $SIZE --fps $FPS --quiet --frame-log ../$song.log) >/dev/null 2>&1 ||
            fail "capture with $song.it failed"
    done
    script "s44,h,mlate.it,h,s43,h,s3,h,mearly.it,h,s44,h" --module song.it
    [ "$(field 1 hash)" != "$(field 2 hash)" ] || fail "the late change changed nothing at 44 s"
    [ "$(field 4 hash)" != "$(field 5 hash)" ] || fail "the early change changed nothing at 3 s"
    line=2
    for expected in late:44.000000 late:43.000000 late:3.000000 early:3.000000 early:44.000000; do
        want=$(awk -v t="${expected#*:}" '$1 == "frame" && $3 == t {print $6}' "${expected%%:*}.log")
        [ -n "$want" ] && [ "$(field $line hash)" = "$want" ] ||
            fail "picture $line, at ${expected#*:} s with ${expected%%:*}.it: $(sed -n ${line}p script.out), the capture's $want"
        line=$((line + 1))
    done
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
    RANGE=k3lvana-studio-range.mp4
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
    # The loop rendered by the capture, its progress on the way.
    press "$id" c
    for _ in $(seq 1 600); do grep -q "wrote $RANGE" stderr && break; sleep 0.1; done
    grep -q "rendering $RANGE: *[0-9]*%" stderr && grep -q "wrote $RANGE: 12[01] frames" stderr ||
        fail "the render of the loop: $(grep -a "$RANGE" stderr)"
    press "$id" l
    xdotool mousemove --window "$id" 320 260 click 1
    title_is ' 10[0-9]\.[0-9]+ s'  # the timeline's middle: half the show's 207 s
    cp data/zelto-07.tga data/zelto-07.tga.new && mv data/zelto-07.tga.new data/zelto-07.tga
    for _ in $(seq 1 300); do grep -q reloaded stderr && break; sleep 0.1; done
    grep -q "reloaded data" stderr || fail "no reload after the module changed"
    press "$id" Escape
    wait_exit 10
    [ "$status" = 0 ] || fail "status $status after Escape"
    # The studio's own lines only: nothing from the audio libraries' device probing (ALSA, JACK).
    ! grep -av '^k3lvana-studio: ' stderr >other || fail "not the studio's on stderr: $(head -c 500 other)"
    ;;
heard)
    # Kicks every fourth row (480 ms), each row with a beat event.
    "$make_module" song.it 400 $(for row in $(seq 0 4 396); do printf '%d:0A ' "$row"; done) ||
        fail "cannot write the module"
    K3L_PROBE_REPORT=$work/report "$probed" --module song.it --size 80x60 --start 10 >stdout 2>stderr &
    pid=$!
    id=$(timeout 60 xdotool search --sync --onlyvisible --name '^k3lvana studio' | head -n 1)
    [ -n "$id" ] || fail "no window"
    sleep 1.5
    press "$id" Right
    "$monitor_onsets" 4 >onsets || fail "nothing recorded on the test sink"
    press "$id" Escape
    wait_exit 10
    [ "$status" = 0 ] || fail "status $status after Escape"
    # Each kick heard against the nearest event to reach the show (the build under ThreadSanitizer
    # runs this case for its races, and is too slow to be timed).
    awk -v most="$([ -n "${TSAN_OPTIONS:-}" ] && echo 1e9 || echo 5)" 'FNR == NR { if ($1 == "event") event[++n] = $2; next }
        $1 == "onset" { best = 1e18
            for (i = 1; i <= n; ++i) if ((event[i] - $2) ^ 2 < best ^ 2) best = event[i] - $2
            off[++m] = best / 1e6 }
        END {
            for (i = 2; i <= m; ++i) { x = off[i]; for (j = i - 1; j > 0 && off[j] > x; --j) off[j + 1] = off[j]; off[j + 1] = x }
            printf "heard: %d kicks, their events from %.2f to %.2f ms off, median %.2f ms\n", m, off[1], off[m], off[int((m + 1) / 2)]
            exit !(m >= 6 && off[1] >= -most && off[m] <= most) }' report onsets >why || fail "$(cat why)"
    cat why
    ;;
*)
    fail "no such case"
    ;;
esac
