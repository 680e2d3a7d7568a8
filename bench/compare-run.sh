#!/bin/sh
# The comparison run with product VelmoraII on two sample databases (a
# reference and a drifted one) with customer, product_m and sale filled to
# 0, 10,000 and 100,000 rows, split into its phases, beside cp of both files
# and sqldiff --schema on the two migrated copies. Prints a table (seconds,
# medians of the runs). Not a test.
#
# usage: bench/compare-run.sh [BUILD_DIR] [ROWS ...]
#   BUILD_DIR  a release build with the bench_compare target built
#              (default: build beside this folder)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
[ $# -gt 0 ] && shift
rows=${*:-0 10000 100000 1000000}
runs=${RUNS:-5}
helper=$build/bench/bench_compare
[ -x "$helper" ] || { echo "build the bench_compare target in $build first" >&2; exit 2; }
command -v sqldiff >/dev/null || { echo "sqldiff not found (package sqlite3-tools)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

. "$here/timing.sh"
copy_both() { cp "$1" "$work/cp-a.mdb"; cp "$2" "$work/cp-b.mdb"; }
schema_diff() { sqldiff --schema "$1" "$2" > "$work/sqldiff.out"; }

echo "comparison run, product VelmoraII (vardoII), $runs runs each; seconds (median)"
echo "phases by the functions RunComparison calls; 'run' is RunComparison itself: 'one thread' with copy B"
echo "migrated after copy A (as before), 'two' with B migrated on a second thread beside A"
echo
printf '%7s | %6s %7s %7s %6s %7s %6s | %10s %6s %5s | %6s %8s | %s\n' rows copy migr-A migr-B load compare sum \
    "run, one thread" two ratio cp sqldiff "load+compare vs sqldiff"
for n in $rows; do
    a="$work/reference$n.mdb"
    b="$work/customer$n.mdb"
    "$helper" make "$a" "$n"
    "$helper" make "$b" "$n" --drifted
    set -- $("$helper" run "$a" "$b" --repeat "$runs")
    copy=$1 migA=$2 migB=$3 load=$4 cmp=$5 sum=$6 single=$7 whole=$8
    copyA="$work/reference${n}temp/temp(A).mdb"
    copyB="$work/reference${n}temp/temp(B).mdb"
    cpt=$(timed copy_both "$a" "$b")
    sqd=$(timed schema_diff "$copyA" "$copyB")
    lc=$(echo "$load + $cmp" | bc -l)
    verdict=$(echo "$lc <= $sqd" | bc -l)
    [ "$verdict" = 1 ] && verdict="faster/equal" || verdict="slower"
    printf '%7d | %6.3f %7.3f %7.3f %6.3f %7.3f %6.3f | %10.3f %6.3f %4.2fx | %6.3f %8.3f | %.3f vs %.3f: %s\n' \
        "$n" "$copy" "$migA" "$migB" "$load" "$cmp" "$sum" "$single" "$whole" "$(echo "$single / $whole" | bc -l)" \
        "$cpt" "$sqd" "$lc" "$sqd" "$verdict"
done
