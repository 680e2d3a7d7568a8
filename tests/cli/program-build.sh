#!/usr/bin/env bash
# What scripts/build.sh --program builds (for ./run.sh and the package):
# among every command ninja would run for those targets from scratch, none
# links a test or benchmark executable.
# usage: tests/cli/program-build.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
read -r -a targets <<<"$("$source_dir/scripts/build.sh" --program-targets)"
links_tests() { grep -E '(^| )-o (tests|bench)/' || true; }
# The check sees a test executable where there is one.
if [ -z "$(ninja -C "$build_dir" -t commands test_window | links_tests)" ]; then
  echo "program-build: no link of tests/window/test_window found in its own commands" >&2
  exit 1
fi
found=$(ninja -C "$build_dir" -t commands "${targets[@]}" | links_tests)
if [ -n "$found" ]; then
  echo "program-build: building ${targets[*]} links test or benchmark programs:" >&2
  echo "$found" | sed 's/.* -o \([^ ]*\).*/  \1/' >&2
  exit 1
fi
echo "program-build: ${targets[*]} build no test or benchmark program"
