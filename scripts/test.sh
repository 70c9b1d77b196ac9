#!/usr/bin/env bash
# Runs the quick suite (every test but the whole-show soak) inside a private X server and sound
# server; `scripts/test.sh --soak` runs the soak alone. Further arguments go to ctest.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top/build"
filter=(-LE soak)
if [ "${1:-}" = --soak ]; then
    filter=(-L soak)
    shift
fi
exec "$top/tests/env/with-test-env.sh" ctest --output-on-failure "${filter[@]}" "$@"
