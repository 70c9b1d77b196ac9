#!/usr/bin/env bash
# The studio's waits, timed on this machine: from the process's start to the window's first
# picture (its title carries the status line from the first picture on), and to the first picture
# of the script mode (--script h), at the show's start and late in it; then a module changed at
# 10 s and at 190 s reloaded with the playhead there, and at 10 s with the playhead at 190 s, as the
# studio reports it ("reloaded ... in N ms"). Run from the build directory, inside the test environment for the window:
#     make bench && cd build && ../tests/env/with-test-env.sh ../bench/studio_start.sh
set -euo pipefail
studio=./k3lvana-studio
now() { date +%s%N; }
for start in 0 190; do
    began=$(now)
    "$studio" --start $start >/dev/null 2>&1 &
    pid=$!
    id=
    until [ -n "$id" ]; do id=$(xdotool search --onlyvisible --name '^k3lvana studio' 2>/dev/null | head -n 1 || true); done
    until xdotool getwindowname "$id" | grep -q ' s '; do sleep 0.005; done
    echo "window, --start $start: first picture after $(( ($(now) - began) / 1000000 )) ms"
    until xdotool getwindowname "$id" | grep -qv 'replaying'; do sleep 0.005; done
    echo "window, --start $start: the picture at $start s after $(( ($(now) - began) / 1000000 )) ms"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    began=$(now)
    "$studio" --start $start --script h >/dev/null 2>&1
    echo "script, --start $start: first picture (and exit) after $(( ($(now) - began) / 1000000 )) ms"
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for at in 10 190; do
    ./bench/edited_song $at "$work/edited.it" >/dev/null
    "$studio" --script "s$at,h,m$work/edited.it,h" 2>&1 >/dev/null | sed "s|^k3lvana-studio: |change at $at s, playhead there: |; s|$work/||"
done
./bench/edited_song 10 "$work/edited.it" >/dev/null
"$studio" --script "s190,h,m$work/edited.it,h" 2>&1 >/dev/null | sed "s|^k3lvana-studio: |change at 10 s, playhead at 190 s: |; s|$work/||"
cp data/zelto-07.tga "$work/same.it"
"$studio" --script "s190,h,m$work/same.it,h" 2>&1 >/dev/null | sed "s|^k3lvana-studio: |unchanged module: |; s|$work/||"
