#!/usr/bin/env bash
# Configures (once) and builds into build/, which is kept between runs.
#   scripts/build.sh                   everything: the program, its data, the
#                                      tests and the benchmarks (./test.sh)
#   scripts/build.sh --program         only the program and what it installs
#                                      beside itself (./run.sh and the package)
#   scripts/build.sh --program-targets prints the targets --program builds
set -euo pipefail
cd "$(dirname "$0")/.."
program_targets=(dexmira dexmira_data)
targets=()
case "${1:-}" in
  "") ;;
  --program) targets=(--target "${program_targets[@]}") ;;
  --program-targets) echo "${program_targets[*]}"; exit 0 ;;
  *) echo "usage: scripts/build.sh [--program | --program-targets]" >&2; exit 2 ;;
esac
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build -j"$(nproc)" "${targets[@]}"
