#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
# mdb-reader (npm), one of the independent readers of written Jet files.
scripts/install-mdb-reader.sh build
# The suite runs in a temporary directory of its own, which must be empty
# afterwards (scripts/ctest-clean-tmp.sh).
QT_QPA_PLATFORM=offscreen scripts/ctest-clean-tmp.sh build --output-on-failure -j"$(nproc)" --timeout 300
