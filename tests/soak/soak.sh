#!/usr/bin/env bash
# The whole show, played to its end on the silent output under the test
# environment's X server, RUNS times in a row. For each run:
#   - status 0, the console exactly as documented, stderr empty;
#   - no heap allocation charged to the show's own code (or made for it by
#     libstdc++) once the first tick ran (alloc_probe.so);
#   - resident memory (VmRSS, sampled every second from /proc) flat over the
#     closing card's last seconds, and never far above its value a few seconds
#     after loading (Mesa's llvmpipe compiles shader code as each scene first
#     shows new drawing states, which steps the resident memory up at scene
#     changes; a leak per frame would show as a slope);
#   - ticks counted (show_probe.so) match the music's time to its quit event
#     within 2 %;
#   - every Zxx event of the music's timeline (show_timeline) arrived, in order,
#     near its time (the soak build's recorder).
# The figures go to stdout and to $SOAK_FIGURES (default soak-figures.txt in the working directory).
#   soak.sh K3LVANA_SOAK DATA_DIR SHOW_TIMELINE SHOW_PROBE ALLOC_PROBE RUNS
set -uo pipefail

show=$1
data=$2
show_timeline=$3
show_probe=$4
alloc_probe=$5
runs=$6
figures=${SOAK_FIGURES:-$PWD/soak-figures.txt}

TICK_MS=55                 # milliseconds per tick of the show
TICK_TOLERANCE_PERCENT=2   # ticks may differ from the music's time by this much
RSS_WARMUP_S=5             # seconds after loading before the resident memory counts as settled
RSS_GROWTH_KB=49152        # kilobytes the resident memory may grow by from then to the end (measured: 31 MB, Mesa's)
RSS_TAIL_S=10              # seconds before the end over which the resident memory must stay flat
RSS_TAIL_GROWTH_KB=512     # kilobytes it may grow by over them (a 3 kB per frame leak would be 550 kB)
EVENT_TOLERANCE_MS=100     # milliseconds an event may arrive off its time (relative to the first event)
RUN_LIMIT_S=330            # seconds a run may take before it counts as hung

work=$(mktemp -d /tmp/k3l-soak.XXXXXX)
pid=""
# Ends a show left running and removes the work directory.
finish() {
    [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null
    rm -rf "$work"
}
trap finish EXIT

run_number=0
# Fails the soak, with the show's stderr.
fail() {
    echo "FAIL (soak run $run_number): $*" >&2
    echo "--- stderr:" >&2; head -c 4000 "$work/stderr" >&2 2>/dev/null
    exit 1
}

# The music's timeline: "seconds byte" for every event, in playing order.
"$show_timeline" "$data/zelto-07.tga" |
    awk -F'|' '$5 ~ /Z[0-9A-F][0-9A-F]/ { gsub(/ /, "", $2); gsub(/ /, "", $5)
        printf "%s %d\n", $2, (index("0123456789ABCDEF", substr($5, 2, 1)) - 1) * 16 + index("0123456789ABCDEF", substr($5, 3, 1)) - 1 }' \
    >"$work/timeline" || fail "cannot read the music's timeline"
expected_events=$(wc -l <"$work/timeline")
quit_s=$(awk '$2 == 27 {print $1; exit}' "$work/timeline")
[ "$expected_events" -gt 0 ] && [ -n "$quit_s" ] || fail "the timeline has no events or no quit event"
first_s=$(awk 'NR == 1 {print $1}' "$work/timeline")
expected_ticks=$(awk -v q="$quit_s" -v f="$first_s" -v t="$TICK_MS" 'BEGIN {printf "%d", (q - f) * 1000 / t}')

# The console text of a show that loaded, byte for byte.
expect_loaded() {
    printf '[LOADING'; printf '..%.0s' $(seq 1 9); printf ']\nLoaded.'; printf '\n%.0s' $(seq 1 25)
}
expect_loaded >"$work/expected-console"

mkdir -p "$work/run"
ln -s "$data" "$work/run/data"
: >"$figures"
for run_number in $(seq 1 "$runs"); do
    rm -f "$work"/{stdout,stderr,probe,alloc,events,rss}
    (cd "$work/run" && PULSE_SERVER=unix:/nonexistent/k3l-no-sound-server K3L_PROBE_REPORT="$work/probe" \
        K3L_ALLOC_REPORT="$work/alloc" K3L_SOAK_EVENTS="$work/events" LD_PRELOAD="$alloc_probe $show_probe" \
        exec "$show" >"$work/stdout" 2>"$work/stderr") &
    pid=$!
    started=$(date +%s)
    # Resident memory, once a second, from the end of loading to the end.
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
    cmp -s "$work/expected-console" "$work/stdout" || fail "console text differs"
    [ -s "$work/stderr" ] && fail "stderr is not empty"
    [ -s "$work/probe" ] && [ -s "$work/alloc" ] && [ -s "$work/events" ] || fail "a probe wrote no report"

    # Memory.
    rss_loaded=$(awk 'NR == 1 {print $2}' "$work/rss")
    rss_settled=$(awk -v w="$RSS_WARMUP_S" '$1 >= w * 1000 {print $2; exit}' "$work/rss")
    rss_max=$(awk -v w="$RSS_WARMUP_S" '$1 >= w * 1000 && $2 > m {m = $2} END {print m}' "$work/rss")
    rss_end=$(awk 'END {print $2}' "$work/rss")
    rss_end_ms=$(awk 'END {print $1}' "$work/rss")
    rss_tail=$(awk -v from="$((rss_end_ms - RSS_TAIL_S * 1000))" '$1 >= from {print $2; exit}' "$work/rss")
    [ -n "$rss_settled" ] || fail "no memory sample after the warm-up"

    # Allocations once the show ran: those charged to the show's executable are ours.
    allocations=$(awk '$1 == "allocations" {print $2}' "$work/alloc")
    ours=$(awk '$1 == "caller" && $3 == "[show]" {n += $2} END {print n + 0}' "$work/alloc")
    by_library=$(awk '$1 == "caller" {n[$3] += $2} END {for (o in n) printf "%s:%d ", o, n[o]}' "$work/alloc" |
        sed 's#[^ ]*/##g')

    # Ticks against the music's time.
    ticks=$(awk '$1 == "ticks" {print $2}' "$work/probe")
    frames=$(awk '$1 == "frames" {print $2}' "$work/probe")
    tick_span_ms=$(awk '$1 == "first_tick_ns" {f = $2} $1 == "last_tick_ns" {l = $2} END {printf "%d", (l - f) / 1000000}' "$work/probe")
    tick_error=$(awk -v t="$ticks" -v e="$expected_ticks" 'BEGIN {printf "%.2f", (t - e) * 100 / e}')

    # Events: every one of the timeline, in order, near its time.
    grep -q overflow "$work/events" && fail "more events than the recorder holds"
    arrived=$(wc -l <"$work/events")
    event_check=$(paste -d' ' "$work/timeline" "$work/events" | awk -v tol="$EVENT_TOLERANCE_MS" '
        NR == 1 { t0 = $1; a0 = $3 }
        { if ($2 != $4) { print "event " NR " is Z" sprintf("%02X", $4) ", the timeline says Z" sprintf("%02X", $2); bad = 1; exit }
          off = ($3 - a0) / 1e6 - ($1 - t0) * 1000; if (off < 0) off = -off
          if (off > max) max = off }
        END { if (!bad) printf "max %.1f ms", max; if (!bad && max > tol) print " over " tol " ms" }')

    line="run $run_number: status 0; RSS loaded ${rss_loaded} kB, after ${RSS_WARMUP_S} s ${rss_settled} kB, max ${rss_max} kB, ${RSS_TAIL_S} s before the end ${rss_tail} kB, end ${rss_end} kB"
    line+="; ticks $ticks vs $expected_ticks expected ($tick_error %), span ${tick_span_ms} ms, frames $frames"
    line+="; events $arrived of $expected_events in order, timing off by $event_check"
    line+="; allocations after loading: $allocations ($by_library), by the show's code: $ours"
    echo "$line" | tee -a "$figures"

    if [ $((rss_max - rss_settled)) -gt "$RSS_GROWTH_KB" ] || [ $((rss_end - rss_tail)) -gt "$RSS_TAIL_GROWTH_KB" ]; then
        echo "resident memory (ms after loading, kB):" >&2
        awk 'NR % 10 == 1' "$work/rss" | tr '\n' ' ' >&2
        echo >&2
        sort -k2,2nr "$work/alloc" | head -n 15 >&2
        fail "resident memory grew: $rss_settled kB to $rss_max kB while the show ran, $rss_tail kB to $rss_end kB at its end"
    fi
    if [ "$ours" != 0 ]; then
        awk '$1 == "caller" && $3 == "[show]"' "$work/alloc" >&2
        fail "$ours heap allocations by the show's code after loading"
    fi
    awk -v t="$ticks" -v e="$expected_ticks" -v p="$TICK_TOLERANCE_PERCENT" 'BEGIN {d = t - e; if (d < 0) d = -d; exit !(d * 100 <= p * e)}' ||
        fail "$ticks ticks where the music's $quit_s s make $expected_ticks ($tick_error %)"
    [ "$arrived" = "$expected_events" ] || fail "$arrived events arrived, the timeline has $expected_events"
    case "$event_check" in max*over*|event*) fail "$event_check" ;; esac
done
echo "ok (soak, $runs runs)"
