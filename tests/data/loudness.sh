#!/usr/bin/env bash
# Renders the module and measures it with ffmpeg's EBU R128 meter: integrated loudness
# between -16 and -12 LUFS, true peak at or below -1 dBTP.
#   loudness.sh RENDER_MUSIC MODULE
set -euo pipefail
render=$1
module=$2
work=$(mktemp -d /tmp/k3l-loudness.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$render" "$module" "$work/song.wav" >/dev/null
ffmpeg -hide_banner -nostats -i "$work/song.wav" -af ebur128=peak=true:framelog=verbose -f null - 2>"$work/meter.txt"
integrated=$(awk '$1 == "I:" { value = $2 } END { print value }' "$work/meter.txt")
range=$(awk '$1 == "LRA:" { value = $2 } END { print value }' "$work/meter.txt")
peak=$(awk '$1 == "Peak:" { value = $2 } END { print value }' "$work/meter.txt")
echo "integrated ${integrated} LUFS, loudness range ${range} LU, true peak ${peak} dBTP"
awk -v i="$integrated" -v p="$peak" 'BEGIN {
    ok = 1
    if (i == "" || i < -16 || i > -12) { print "integrated loudness out of -16..-12 LUFS"; ok = 0 }
    if (p == "" || p > -1) { print "true peak above -1 dBTP"; ok = 0 }
    exit ok ? 0 : 1
}'
