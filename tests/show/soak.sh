#!/usr/bin/env bash
# The whole show, played to its end on the silent output under the test environment's X server
# (about three and a half minutes; run by .ci/run, or by hand: ctest --preset soak):
#   - status 0, the console exactly as documented, stderr empty;
#   - no heap allocation by the show's own code once the first tick ran;
#   - resident memory (VmRSS, sampled every second) flat over the closing card's last seconds,
#     and never far above its value a few seconds after loading (Mesa's llvmpipe compiles shader
#     code as each scene first shows new drawing states, which steps the resident memory up at
#     scene changes; a leak per frame would show as a slope);
#   - the ticks match the music's time to its quit event within 2 %;
#   - every Zxx event of the music's timeline (show_timeline) arrived, in order, near its time.
# The figures go to stdout and to $SOAK_FIGURES (default soak-figures.txt in the working directory).
#   soak.sh K3LVANA_PROBED DATA_DIR SHOW_TIMELINE
set -uo pipefail

show=$1
data=$2
show_timeline=$3
figures=${SOAK_FIGURES:-$PWD/soak-figures.txt}

TICK_MS=55                 # milliseconds per tick of the show
TICK_TOLERANCE_PERCENT=2   # ticks may differ from the music's time by this much
RSS_WARMUP_S=5             # seconds after loading before the resident memory counts as settled
RSS_GROWTH_KB=49152        # kilobytes it may grow by from then to the end (measured: 31 MB, Mesa's)
RSS_TAIL_S=10              # seconds before the end over which it must stay flat
RSS_TAIL_GROWTH_KB=512     # kilobytes it may grow by over them (a 3 kB per frame leak would be 550 kB)
EVENT_TOLERANCE_MS=100     # milliseconds an event may arrive off its time (relative to the first event)
RUN_LIMIT_S=330            # seconds the run may take before it counts as hung

work=$(mktemp -d /tmp/k3l-soak.XXXXXX)
case_name=soak
source "$(dirname "$0")/../env/show_lib.sh"

# The music's timeline: "seconds byte" for every event, in playing order.
"$show_timeline" "$data/zelto-07.tga" |
    awk -F'|' '$5 ~ /Z[0-9A-F][0-9A-F]/ { gsub(/ /, "", $2); gsub(/ /, "", $5)
        printf "%s %d\n", $2, (index("0123456789ABCDEF", substr($5, 2, 1)) - 1) * 16 + index("0123456789ABCDEF", substr($5, 3, 1)) - 1 }' \
    >"$work/timeline" || fail "cannot read the music's timeline"
expected_events=$(wc -l <"$work/timeline")
quit_s=$(awk '$2 == 27 {print $1; exit}' "$work/timeline")
[ "$expected_events" -gt 0 ] && [ -n "$quit_s" ] || fail "the timeline has no events or no quit event"
expected_ticks=$(awk -v q="$quit_s" -v f="$(awk 'NR == 1 {print $1}' "$work/timeline")" -v t="$TICK_MS" \
    'BEGIN {printf "%d", (q - f) * 1000 / t}')

mkdir -p "$work/run"
ln -s "$data" "$work/run/data"
(cd "$work/run" && PULSE_SERVER=unix:/nonexistent/k3l-no-sound-server K3L_PROBE_REPORT="$work/report" \
    exec "$show" >"$work/stdout" 2>"$work/stderr") &
pid=$!
started=$(date +%s)
loaded_at=""
while kill -0 "$pid" 2>/dev/null; do
    if [ -z "$loaded_at" ] && grep -q "Loaded." "$work/stdout" 2>/dev/null; then
        loaded_at=$(date +%s%N)
    fi
    if [ -n "$loaded_at" ]; then
        rss=$(awk '/^VmRSS:/ {print $2}' /proc/"$pid"/status 2>/dev/null)
        [ -n "$rss" ] && echo "$(( ($(date +%s%N) - loaded_at) / 1000000 )) $rss" >>"$work/rss"
    fi
    [ $(( $(date +%s) - started )) -gt "$RUN_LIMIT_S" ] && fail "still running after ${RUN_LIMIT_S}s"
    sleep 1
done
wait "$pid"
status=$?
pid=""
[ "$status" = 0 ] || fail "status $status"
expect_loaded | cmp -s - "$work/stdout" || fail "console text differs"
[ -s "$work/stderr" ] && fail "stderr is not empty"
[ -s "$work/report" ] && [ -s "$work/rss" ] || fail "no report or no memory samples"

read -r rss_settled rss_max rss_tail rss_end < <(awk -v w="$RSS_WARMUP_S" -v t="$RSS_TAIL_S" '
    { ms[NR] = $1; kb[NR] = $2 }
    END { for (i = 1; i <= NR; ++i) { if (ms[i] >= w * 1000) { if (!s) s = kb[i]; if (kb[i] > m) m = kb[i] }
                                      if (!tail && ms[i] >= ms[NR] - t * 1000) tail = kb[i] }
          print s, m, tail, kb[NR] }' "$work/rss")
ticks=$(awk '$1 == "ticks" {print $2}' "$work/report")
allocations=$(awk '$1 == "allocations" {print $2}' "$work/report")
arrived=$(grep -c '^event ' "$work/report")
event_check=$(paste -d' ' "$work/timeline" <(awk '$1 == "event" {print $2, $3}' "$work/report") |
    awk -v tol="$EVENT_TOLERANCE_MS" '
    NR == 1 { t0 = $1; a0 = $3 }
    { if ($2 != $4) { print "event " NR " is Z" sprintf("%02X", $4) ", the timeline says Z" sprintf("%02X", $2); exit }
      off = ($3 - a0) / 1e6 - ($1 - t0) * 1000; if (off < 0) off = -off; if (off > max) max = off }
    END { printf "max %.1f ms", max; if (max > tol) print " over " tol " ms" }')
tick_error=$(awk -v t="$ticks" -v e="$expected_ticks" 'BEGIN {printf "%.2f", (t - e) * 100 / e}')
echo "RSS after ${RSS_WARMUP_S} s ${rss_settled} kB, max ${rss_max} kB, ${RSS_TAIL_S} s before the end ${rss_tail} kB," \
    "end ${rss_end} kB; ticks $ticks vs $expected_ticks expected ($tick_error %); events $arrived of $expected_events," \
    "timing off by $event_check; allocations by the show once it ran: $allocations" | tee "$figures"

[ $((rss_max - rss_settled)) -le "$RSS_GROWTH_KB" ] && [ $((rss_end - rss_tail)) -le "$RSS_TAIL_GROWTH_KB" ] ||
    fail "resident memory grew: $rss_settled kB to $rss_max kB while the show ran, $rss_tail kB to $rss_end kB at its end"
[ "$allocations" = 0 ] || fail "$allocations heap allocations by the show's code after loading"
awk -v t="$ticks" -v e="$expected_ticks" -v p="$TICK_TOLERANCE_PERCENT" \
    'BEGIN {d = t - e; if (d < 0) d = -d; exit !(d * 100 <= p * e)}' ||
    fail "$ticks ticks where the music's $quit_s s make $expected_ticks ($tick_error %)"
[ "$arrived" = "$expected_events" ] || fail "$arrived events arrived, the timeline has $expected_events"
case "$event_check" in *over*|event*) fail "$event_check" ;; esac
echo "ok (soak)"
