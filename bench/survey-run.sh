#!/bin/sh
# A survey of many stores against one reference, product VelmoraII: 50
# vardoII samples of 10,000 rows (a mix of drifts: none, an extra column and
# index, another column and index, an extra table and index) with --jobs 1
# and --jobs 2, beside a shell loop calling `dexmira compare` once per store.
# Then the peak resident memory of surveys of 10, 25 and 50 stores. Prints a
# table (seconds, medians of the runs). Not a test.
#
# usage: bench/survey-run.sh [BUILD_DIR] [STORES] [ROWS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
count=${2:-50}
rows=${3:-10000}
runs=${RUNS:-3}
helper=$build/bench/bench_compare
dexmira=$build/src/app/dexmira
for f in "$helper" "$dexmira"; do
    [ -x "$f" ] || { echo "build the bench_compare and dexmira targets in $build first" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "/usr/bin/time not found (package time)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
. "$here/timing.sh"

"$helper" make "$work/reference.mdb" "$rows"
for k in 0 1 2 3; do "$helper" make "$work/template$k.mdb" "$rows" --drift "$k"; done
mkdir "$work/stores"
i=1
while [ $i -le "$count" ]; do
    cp "$work/template$((i % 4)).mdb" "$work/stores/customer$i.mdb"
    i=$((i + 1))
done
stores() { ls "$work"/stores/*.mdb | head -n "$1"; }

# Exit status 1 (some store differs) is the expected outcome.
survey() { "$dexmira" survey "$work/reference.mdb" $(stores "$count") --product VelmoraII --jobs "$1" \
    > /dev/null 2>&1 || [ $? -eq 1 ]; }
loop() {
    for db in $(stores "$count"); do
        "$dexmira" compare "$db" "$work/reference.mdb" --product VelmoraII > /dev/null 2>&1 || [ $? -eq 1 ]
    done
}

echo "$count stores of $rows rows against one reference, product VelmoraII; $runs runs each; seconds (median)"
echo
t_loop=$(timed loop)
t_one=$(timed survey 1)
t_two=$(timed survey 2)
printf '%-34s %8s %16s\n' "" seconds "throughput/loop"
printf '%-34s %8.2f %15.2fx\n' "loop of dexmira compare" "$t_loop" 1
printf '%-34s %8.2f %15.2fx\n' "dexmira survey --jobs 1" "$t_one" "$(echo "$t_loop / $t_one" | bc -l)"
printf '%-34s %8.2f %15.2fx\n' "dexmira survey --jobs 2" "$t_two" "$(echo "$t_loop / $t_two" | bc -l)"
echo
echo "peak resident memory of the survey (--jobs 2): the largest process of the survey and its jobs"
for n in 10 25 "$count"; do
    list=$(stores "$n")
    /usr/bin/time -f "%M" -o "$work/rss" "$dexmira" survey "$work/reference.mdb" $list --product VelmoraII \
        --jobs 2 > /dev/null 2>&1 || true
    # %M of the survey covers its jobs too (the largest process of the tree).
    printf '%4s stores: %7s KB largest process\n' "$n" "$(tail -n 1 "$work/rss")"
done
