#!/usr/bin/env bash
# Runs ctest in a build folder with TMPDIR pointing at a fresh private folder,
# and fails when the run leaves anything in it: every test removes what it
# makes. Usage: scripts/ctest-clean-tmp.sh BUILD_DIR [CTEST ARGUMENTS...]
set -uo pipefail
build=${1:?usage: $0 BUILD_DIR [CTEST ARGUMENTS...]}
shift
tmp=$(mktemp -d "${TMPDIR:-/tmp}/dexmira-tests.XXXXXX") || exit 1
status=0
(cd "$build" && TMPDIR="$tmp" ctest "$@") || status=$?
if [ -n "$(ls -A "$tmp")" ]; then
  echo "the test run left these in its temporary directory ($tmp):" >&2
  ls -lA "$tmp" >&2
  status=1
fi
rm -rf "$tmp"
exit $status
