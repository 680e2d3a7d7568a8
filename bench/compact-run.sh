#!/bin/sh
# Compact and repair of a real Jet 4 file (`dexmira compact FILE --yes`:
# check, write from the model, read back, check, swap with a backup) and the
# migration of the same file in place (`dexmira migrate FILE --product
# VelmoraII`: import into a private store, the vardoII ladder, written back,
# read back, checked, swapped), beside `dexmira import` of the same file and
# `cp` of it. The files: the vardoII base schema at version 1 with customer,
# product_m and sale filled to 10,000 and 100,000 rows (Korean names in the
# indexed customer.compname), exported to Jet 4. Prints seconds (medians)
# and the ratios. Not a test.
#
# usage: bench/compact-run.sh [BUILD_DIR] [ROWS ...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/jet-bench.sh"
require_tools bc
copy_file() { cp "$1" "$work/cp.mdb"; }
# The same file compacted again and again: each run starts from the last one's result.
compact_dexmira() { rm -f "$work"/c.bak*.mdb; "$dexmira" compact "$work/c.mdb" --yes 2>/dev/null; }
# A fresh copy at version 1 each time (the copy is in the figure: see cp).
migrate_dexmira() {
    cp "$1" "$work/m.mdb"; rm -f "$work"/m.bak*.mdb
    "$dexmira" migrate "$work/m.mdb" --product VelmoraII > /dev/null 2>&1
}

# The processor seconds (user + system, the threads' together) of a command: median of $runs runs.
cpu_timed() {
    i=0
    while [ $i -lt "$runs" ]; do
        /usr/bin/time -f "%U %S" -o "$work/cpu" "$@"
        awk '{print $1 + $2}' "$work/cpu"
        i=$((i + 1))
    done | median
}

echo "compact and migrate in place of a Jet 4 file of the vardoII base schema, $runs runs each; seconds (median)"
printf '%7s | %9s | %7s | %8s | %8s | %8s | %15s | %15s | %18s\n' rows "file MB" cp import compact migrate "compact/import" "migrate/import" "cpu compact/import"
for n in $rows; do
    s="$work/s$n.mdb" j="$work/j$n.mdb"
    "$helper" make-store "$s" "$n"
    "$dexmira" export "$s" "$j" --password kt5316 2>/dev/null
    rm -f "$s"
    cp "$j" "$work/c.mdb"
    mb=$(echo "$(stat -c %s "$j") / 1048576" | bc -l)
    cpt=$(timed copy_file "$j")
    im=$(timed import_dexmira "$j")
    co=$(timed compact_dexmira)
    mi=$(timed migrate_dexmira "$j")
    imc=$(cpu_timed sh -c "rm -f '$work/dx.mdb'; '$dexmira' import '$j' '$work/dx.mdb' --password kt5316 2>/dev/null")
    coc=$(cpu_timed sh -c "rm -f '$work'/c.bak*.mdb; '$dexmira' compact '$work/c.mdb' --yes 2>/dev/null")
    "$dexmira" check "$work/c.mdb" --password kt5316 > /dev/null || { echo "the compacted file is not sound" >&2; exit 1; }
    printf '%7d | %9.1f | %7.3f | %8.3f | %8.3f | %8.3f | %14.2fx | %14.2fx | %17.2fx\n' "$n" "$mb" "$cpt" "$im" "$co" "$mi" \
        "$(echo "$co / $im" | bc -l)" "$(echo "$mi / $im" | bc -l)" "$(echo "$coc / $imc" | bc -l)"
    rm -f "$j" "$work"/c*.mdb "$work"/m*.mdb
done
echo
echo "goal: compaction within 2x the import of the same file at 100,000 rows (compact/import <= 2, wall"
echo "clock; the compaction checks the old file on a second thread, so the processor seconds of its"
echo "threads together, the last column, exceed its wall time where a second core is free)"
