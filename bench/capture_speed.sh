#!/usr/bin/env bash
# Whole-process speed of the capture: renders the whole show RUNS times with
# build/k3lvana-capture at SIZE and FPS, and prints each run's wall time, the
# median, and how many times faster than real time the median is (the show's
# length over it). The machine's load is printed before and after: measure on a
# quiet machine. Output goes to a scratch directory that is removed afterwards.
#
#   bench/capture_speed.sh [SIZE] [FPS] [RUNS] [extra capture options...]
#   bench/capture_speed.sh 640x480 30 3
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
size=${1:-640x480}
fps=${2:-30}
runs=${3:-3}
shift $(( $# < 3 ? $# : 3 ))

work=$(mktemp -d /tmp/k3l-capture-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
ln -s "$top/build/data" "$work/data"

echo "load before: $(uptime)"
times=()
show=""
for run in $(seq 1 "$runs"); do
    start=$(date +%s.%N)
    (cd "$work" && env -u DISPLAY "$top/build/k3lvana-capture" --quiet --size "$size" --fps "$fps" \
        -o bench.mp4 "$@" >/dev/null 2>"$work/stderr")
    end=$(date +%s.%N)
    seconds=$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}')
    times+=("$seconds")
    show=$(sed -n 's/.* frames, \([0-9.]*\) s of show.*/\1/p' "$work/stderr")
    printf 'run %d: %.2f s wall for %s s of show\n' "$run" "$seconds" "$show"
done
echo "load after:  $(uptime)"
median=$(printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}')
printf '%s at %s fps: median %.2f s over %d runs, %.2fx real time\n' "$size" "$fps" "$median" "$runs" \
    "$(awk -v s="$show" -v m="$median" 'BEGIN {print s / m}')"
