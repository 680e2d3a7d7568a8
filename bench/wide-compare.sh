#!/bin/sh
# compare without a product on two generated stores of 100, 300, 600 and
# 1,200 tables of 31 fields each (a reference and a drifted one: fields on
# one side only, fields in another order, indexes on other fields). Prints a
# table (seconds, medians of the runs): the whole `dexmira compare` command,
# and in one process the structure load, the comparison passes, and the
# first, quadratic passes on the same grid. Not a test.
#
# usage: bench/wide-compare.sh [BUILD_DIR] [TABLES ...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
[ $# -gt 0 ] && shift
sizes=${*:-100 300 600 1200}
runs=${RUNS:-5}
helper=$build/bench/bench_compare
dexmira=$build/src/app/dexmira
for f in "$helper" "$dexmira"; do
    [ -x "$f" ] || { echo "build the bench_compare and dexmira targets in $build first" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
. "$here/timing.sh"
compare() { "$dexmira" compare "$1" "$2" > /dev/null 2>&1 || [ $? -eq 1 ]; }

echo "compare without a product, two stores of N tables x 31 fields; $runs runs each; seconds (median)"
echo
printf '%6s %7s | %8s | %6s %7s %11s | %s\n' tables rows command load passes "first passes" "first / passes"
for n in $sizes; do
    a="$work/reference$n.mdb"
    b="$work/customer$n.mdb"
    "$helper" wide "$a" "$n"
    "$helper" wide "$b" "$n" --drifted
    whole=$(timed compare "$a" "$b")
    set -- $("$helper" passes "$a" "$b" --repeat "$runs")
    load=$1 passes=$2 old=$3 rows=$4
    printf '%6s %7s | %8.3f | %6.3f %7.4f %11.3f | %6.1fx\n' "$n" "$rows" "$whole" "$load" "$passes" "$old" \
        "$(echo "$old / $passes" | bc -l)"
done
