#!/usr/bin/env bash
# The browser build's tests: builds the page (scripts/web/build.sh) and make_sync_module,
# installs the test driver (puppeteer-core, locked in tests/web) and drives the page in
# Debian's headless Chromium: test pages first, then the whole show with its own music.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"

scripts/web/build.sh
cmake --build build --target make_sync_module -j2
if [ ! -f tests/web/node_modules/.package-lock.json ] || [ tests/web/package-lock.json -nt tests/web/node_modules/.package-lock.json ]; then
    (cd tests/web && npm ci --no-audit --no-fund --loglevel=error)
fi
node tests/web/web_test.js build-web build/tests/support/make_sync_module --whole-show
