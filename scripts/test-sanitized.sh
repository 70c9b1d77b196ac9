#!/usr/bin/env bash
# Builds the project in its own tree under sanitizers and runs tests there.
#   scripts/test-sanitized.sh address   the quick suite under AddressSanitizer + UndefinedBehaviorSanitizer,
#                                       but the runs that judge the real show's timing on a sound server
#                                       (label timing: the instrumented show underruns its device)
#   scripts/test-sanitized.sh thread    the player and show-state tests (label threads) under ThreadSanitizer
# Further arguments go to ctest.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:?usage: test-sanitized.sh address|thread}
jobs=$(nproc)

case "$kind" in
address)
    preset=asan  # build-asan (CMakePresets.json)
    filter=(-LE "soak|timing")
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    export LSAN_OPTIONS="suppressions=$top/tests/sanitizers/lsan.supp:print_suppressions=0"
    ;;
thread)
    preset=tsan  # build-tsan
    filter=(-L threads)
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$top/tests/sanitizers/tsan.supp"
    ;;
*)
    echo "usage: $0 address|thread" >&2
    exit 2
    ;;
esac

cd "$top"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$jobs"
cd "$top/build-$preset"
shift
"$top/tests/env/with-test-env.sh" ctest --output-on-failure "${filter[@]}" "$@"
