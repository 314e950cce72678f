#!/usr/bin/env bash
# The page tests (page_test.py), with axe-core fetched once from the npm
# registry into the web build's folder for the accessibility check.
set -euo pipefail
site=$1 fit=$2
# Skipped (77) where the site has not been built; make test builds it first.
[ -f "$site/vantorel.wasm" ] || { echo "no site in $site (make web)"; exit 77; }
npm_dir=$(dirname "$site")/npm
axe=$npm_dir/node_modules/axe-core
if [ ! -f "$axe/axe.min.js" ]; then
  npm install --silent --no-audit --no-fund --prefix "$npm_dir" axe-core@4 >/dev/null
fi
exec /usr/bin/python3 "$(dirname "$0")/page_test.py" "$site" "$fit" "$axe"
