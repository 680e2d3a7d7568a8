#!/usr/bin/env bash
# Installs the npm package mdb-reader (a reader of Jet files in plain
# JavaScript, an independent check of the files Dexmira writes) into
# BUILD/npm for the tests. Without node and npm the tests that need it skip.
set -euo pipefail
build="${1:-build}"
version="3.2.0"
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "node/npm not found: the tests that read written files with mdb-reader will skip"
  exit 0
fi
if [ -f "$build/npm/node_modules/mdb-reader/package.json" ] &&
   grep -q "\"version\": \"$version\"" "$build/npm/node_modules/mdb-reader/package.json"; then
  exit 0
fi
mkdir -p "$build/npm"
npm install --prefix "$build/npm" --no-audit --no-fund --silent "mdb-reader@$version" ||
  echo "mdb-reader could not be installed: the tests that need it will skip"
