#!/usr/bin/env bash
# Runs every test inside a private X server and sound server.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top/build"
exec "$top/tests/env/with-test-env.sh" ctest --output-on-failure "$@"
