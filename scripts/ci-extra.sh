#!/usr/bin/env bash
# The checks CI runs after the normal suite (./test.sh), for developers too:
#
#   scripts/ci-extra.sh sanitize   the whole test suite built with
#                                  AddressSanitizer + UndefinedBehaviorSanitizer
#                                  (gcc, Debug) in build-asan/
#   scripts/ci-extra.sh fuzz       the libFuzzer targets built with clang in
#                                  build-fuzz/, each run on a copy of its seed
#                                  corpus (tests/fuzz/corpus/<name>)
#   scripts/ci-extra.sh            both
#
# Any sanitizer report, in a test or in a program a test starts, anything a
# test leaves in its temporary directory (scripts/ctest-clean-tmp.sh), and any
# crash a fuzzer finds fail the run. Both build folders are kept between runs
# (ccache makes rebuilds cheap). DEX_FUZZ_SECONDS sets each fuzzer's time
# (60 by default). The repository is never written to: fuzzers work on
# copies in a temporary folder, and what they find is kept in
# build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
what=${1:-all}
fuzz_seconds=${DEX_FUZZ_SECONDS:-60}
jobs=$(nproc)

section() { printf '\n=== %s\n' "$*"; }

run_sanitize() {
  section "sanitizer build (build-asan)"
  local flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
  if [ ! -f build-asan/build.ninja ]; then
    cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
      -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" || return 1
  fi
  # The build runs the test programs to list their tests: no leak report there.
  ASAN_OPTIONS=detect_leaks=0 cmake --build build-asan -j"$jobs" || return 1

  section "test suite under the sanitizers"
  # Reports go to files, so that one from a program a test starts (whose exit
  # status the test may not look at) is not lost either.
  local reports
  reports=$(mktemp -d "${TMPDIR:-/tmp}/dex_sanitizer_reports_XXXXXX") || return 1
  local status=0
  (
    export QT_QPA_PLATFORM=offscreen
    export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:strict_init_order=1:log_path=$reports/asan"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$reports/ubsan"
    export LSAN_OPTIONS="suppressions=$root/scripts/lsan-suppressions.txt:print_suppressions=0"
    scripts/ctest-clean-tmp.sh build-asan --output-on-failure -j"$jobs" --timeout 600
  ) || status=$?
  if compgen -G "$reports/*" > /dev/null; then
    section "sanitizer reports"
    for f in "$reports"/*; do
      echo "--- $f"
      cat "$f"
    done
    status=1
  fi
  rm -rf "$reports"
  return $status
}

run_fuzz() {
  section "libFuzzer build (build-fuzz)"
  scripts/install-deps.sh fuzz || return 1
  if [ ! -f build-fuzz/build.ninja ]; then
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DDEX_FUZZ=ON || return 1
  fi
  cmake --build build-fuzz -j"$jobs" --target fuzz_all || return 1

  local work status=0
  work=$(mktemp -d "${TMPDIR:-/tmp}/dex_fuzz_XXXXXX") || return 1
  mkdir -p build-fuzz/findings
  for corpus in tests/fuzz/corpus/*/; do
    local name
    name=$(basename "$corpus")
    local fuzzer=build-fuzz/tests/fuzz/fuzz_$name
    if [ ! -x "$fuzzer" ]; then
      echo "no fuzz target for corpus $name" >&2
      status=1
      continue
    fi
    section "fuzz_$name for ${fuzz_seconds}s"
    mkdir -p "$work/$name/corpus" "$work/$name/findings"
    cp -r "$corpus". "$work/$name/corpus/"
    local dict=()
    [ -f "tests/fuzz/$name.dict" ] && dict=(-dict="tests/fuzz/$name.dict")
    if ! ASAN_OPTIONS=detect_leaks=1 "$fuzzer" "$work/$name/corpus" "${dict[@]}" \
        -max_total_time="$fuzz_seconds" -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/$name/findings/" > "$work/$name/log" 2>&1; then
      tail -n 60 "$work/$name/log"
      cp -r "$work/$name/findings/." build-fuzz/findings/ 2>/dev/null || true
      echo "fuzz_$name found a problem; the input is in build-fuzz/findings/ (replay it with" \
           "build-fuzz/tests/fuzz/fuzz_$name FILE)" >&2
      status=1
    else
      grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$work/$name/log" || true
    fi
  done
  rm -rf "$work"
  return $status
}

case "$what" in
  sanitize) run_sanitize ;;
  fuzz) run_fuzz ;;
  all)
    status=0
    run_sanitize || status=1
    run_fuzz || status=1
    exit $status
    ;;
  *) echo "usage: $0 [sanitize|fuzz|all]" >&2; exit 2 ;;
esac
