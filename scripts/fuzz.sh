#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz (clang, AddressSanitizer + UndefinedBehaviorSanitizer),
# writes their seed corpora with our own tools, and runs them.
#   scripts/fuzz.sh                 each target for 600 s, both at once, the corpus kept in build-fuzz/corpus
#   scripts/fuzz.sh --time SECONDS  each target for SECONDS
#   scripts/fuzz.sh --runs N        each target for N executions from its seeds, one after the other (CI)
#   scripts/fuzz.sh --coverage      line coverage of the loader and the module path reached by the corpus
#                                   and seeds so far (build-fuzz-cov, llvm-cov)
# The seeds are the show's own images and module (build/data, made by the normal build, or here in
# build-fuzz when there is none) and small ones made here. A crash leaves its input in build-fuzz/crashes/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
tree="$top/build-fuzz"
mode=time
amount=600
case "${1:-}" in
"") ;;
--time) amount=${2:?seconds}; mode=time ;;
--runs) amount=${2:?executions}; mode=runs ;;
--coverage) mode=coverage ;;
*) echo "usage: $0 [--time SECONDS | --runs N | --coverage]" >&2; exit 2 ;;
esac

if [ "$mode" = coverage ]; then
    cov="$top/build-fuzz-cov"
    CC=clang CXX=clang++ cmake -S "$top" -B "$cov" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DK3L_FUZZ=ON -DK3L_TESTS=OFF \
        -DCMAKE_CXX_FLAGS="-fprofile-instr-generate -fcoverage-mapping" \
        -DCMAKE_EXE_LINKER_FLAGS="-fprofile-instr-generate" >/dev/null
    cmake --build "$cov" --target tga_fuzz module_fuzz
    rm -f "$cov"/*.profraw
    for name in tga module; do
        LLVM_PROFILE_FILE="$cov/$name-%p.profraw" "$cov/tests/fuzz/${name}_fuzz" -runs=0 \
            "$tree/corpus/$name" "$tree/seeds/$name" >/dev/null 2>&1
    done
    llvm-profdata merge -o "$cov/fuzz.profdata" "$cov"/*.profraw
    llvm-cov report -instr-profile="$cov/fuzz.profdata" "$cov/tests/fuzz/tga_fuzz" \
        -object "$cov/tests/fuzz/module_fuzz" \
        "$top/src/assets/textures.cpp" "$top/src/platform/files.cpp" "$top/src/platform/module_render.cpp"
    exit 0
fi

(cd "$top" && cmake --preset fuzz >/dev/null && cmake --build --preset fuzz)  # build-fuzz

show_module="$top/build/data/zelto-07.tga"
if ! [ -s "$show_module" ]; then
    cmake --build "$tree" --target data
    show_module="$tree/data/zelto-07.tga"
fi

seeds="$tree/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/tga" "$seeds/module" "$tree/corpus/tga" "$tree/corpus/module" "$tree/crashes" "$tree/logs"
# Image seeds: the show's own images, and small ones of each kind the loader takes (24-bit rows
# that are no multiple of 4 bytes long, 32 bits, a footer) or refuses (run-length encoded).
cp "$(dirname "$show_module")"/[a-y]*.tga "$seeds/tga/"
header() { printf "\\0\\0\\$(printf %03o "$1")\\0\\0\\0\\0\\0\\0\\0\\0\\0\\$(printf %03o "$2")\\0\\$(printf %03o "$3")\\0\\$(printf %03o "$4")\\0"; }
{ header 2 3 2 24; head -c 18 /dev/zero | tr '\0' '\101'; } >"$seeds/tga/odd-rows.tga"
{ header 2 2 2 32; head -c 16 /dev/zero | tr '\0' '\377'; printf 'TRUEVISION-XFILE.\0'; } >"$seeds/tga/footer.tga"
{ header 10 1 1 24; printf '\0\1\2\3'; } >"$seeds/tga/rle.tga"
# Module seeds: the show's own, and short ones with cuts, beats, the fade and the quit event.
cp "$show_module" "$seeds/module/zelto-07.tga"
"$tree/tests/fuzz/make_sync_module" "$seeds/module/cuts.it" 40 0:00 4:01 8:0A 12:11 30:1B
"$tree/tests/fuzz/make_sync_module" "$seeds/module/patterns.it" 150 0:06 63:0A 64:0C 127:80 149:FF

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$top/tests/sanitizers/lsan.supp:print_suppressions=0"

# Per target: the largest input it makes, and its seeds.
declare -A max_len=([tga]=4096 [module]=65536)

# Runs one target with the given extra libFuzzer options, over its corpus and seeds; logs to logs/NAME.log.
run_target() {
    local name=$1
    shift
    local binary="$tree/tests/fuzz/${name}_fuzz"
    local log="$tree/logs/$name.log"
    # Every seed once at full length (the show's module is longer than the inputs the fuzzer makes).
    "$binary" -runs=0 "$seeds/$name" >"$log.seeds" 2>&1 || { cat "$log.seeds" >&2; return 1; }
    local status=0
    (cd "$tree/crashes" && "$binary" -max_len="${max_len[$name]}" -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$tree/crashes/$name-" "$@" \
        "$tree/corpus/$name" "$seeds/$name") >"$log" 2>&1 || status=$?
    grep -E '^(#[0-9]+[[:space:]]+(INITED|DONE)|Done |stat::number_of_executed_units|stat::peak_rss_mb)' "$log" | sed "s/^/$name: /"
    if [ "$status" != 0 ]; then
        echo "$name: FAILED (status $status), see $log" >&2
        tail -n 40 "$log" >&2
    fi
    return "$status"
}

if [ "$mode" = runs ]; then
    run_target tga -runs="$amount" -seed=1
    run_target module -runs="$amount" -seed=1
    exit 0
fi

failed=0
run_target tga -max_total_time="$amount" & tga_pid=$!
run_target module -max_total_time="$amount" & module_pid=$!
wait "$tga_pid" || failed=1
wait "$module_pid" || failed=1
exit "$failed"
