#!/usr/bin/env bash
# Builds resources/words/candidates.txt. Needs scowl, node and npm; the npm packages go to
# build/tools-npm/candidates (never committed). Run from anywhere.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
modules="$root/build/tools-npm/candidates"
mkdir -p "$modules"
cp "$here/package.json" "$modules/package.json"
(cd "$modules" && npm install --no-package-lock --no-audit --no-fund --silent)
NODE_PATH="$modules/node_modules" node "$here/make-candidates.js" "$@"
