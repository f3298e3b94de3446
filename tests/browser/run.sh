#!/usr/bin/env bash
# Runs the browser tests with Node's test runner against the given vandrel tool.
#   run.sh PATH_TO_VANDREL
set -euo pipefail
cd "$(dirname "$0")"
if [ ! -d node_modules/puppeteer-core ] || [ ! -d node_modules/pdfjs-dist ]; then
    echo "tests/browser: the npm packages are missing; run scripts/install-deps" >&2
    exit 1
fi
VANDREL_TOOL=$1 exec node --test --test-concurrency=1 ./*.test.mjs
