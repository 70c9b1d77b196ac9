#!/usr/bin/env bash
# The browser build's tests: builds the page (scripts/web/build.sh) and make_sync_module,
# installs the test driver (puppeteer-core, its version pinned in tests/web/package.json) and drives the page in
# Debian's headless Chromium: test pages first, then the whole show with its own music.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"

scripts/web/build.sh
cmake --build build --target make_sync_module
if [ ! -d tests/web/node_modules/puppeteer-core ] || [ tests/web/package.json -nt tests/web/node_modules/puppeteer-core ]; then
    (cd tests/web && npm install --no-package-lock --no-audit --no-fund --loglevel=error)
fi
node tests/web/web_test.js build-web build/tests/support/make_sync_module --whole-show
