#!/bin/sh
# The export of a store (the vardoII base schema with customer, product_m and
# sale filled to 10,000 and 100,000 rows, Korean names in the indexed
# customer.compname) into a Jet 4 file by `dexmira export` (write, read back,
# check), `dexmira check` of that file, its `dexmira import`, and the route a
# Linux user takes without Dexmira to read it (mdb-schema | sqlite3, then
# mdb-export -I sqlite of every table | sqlite3). Prints seconds (medians)
# and the ratios. Not a test.
#
# usage: bench/export-run.sh [BUILD_DIR] [ROWS ...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/jet-bench.sh"
require_tools mdb-schema mdb-export mdb-tables sqlite3 bc
export_dexmira() { rm -f "$work/ex.mdb"; "$dexmira" export "$1" "$work/ex.mdb" --password kt5316 2>/dev/null; }
check_dexmira() { "$dexmira" check "$1" --password kt5316 > /dev/null; }
import_mdbtools() {
    rm -f "$work/mt.db"
    mdb-schema "$1" sqlite | sqlite3 "$work/mt.db"
    mdb-tables -1 "$1" | while IFS= read -r t; do
        mdb-export -I sqlite "$1" "$t" | sqlite3 "$work/mt.db"
    done
}

echo "export, check and import of the vardoII base schema, $runs runs each; seconds (median)"
printf '%7s | %8s | %8s | %8s | %8s | %13s | %13s | %12s\n' rows export check import mdbtools "mdbtools/imp" "export/import" "check/import"
for n in $rows; do
    s="$work/s$n.mdb"
    "$helper" make-store "$s" "$n"
    "$dexmira" export "$s" "$work/j$n.mdb" --password kt5316 2>/dev/null
    ex=$(timed export_dexmira "$s")
    ck=$(timed check_dexmira "$work/j$n.mdb")
    im=$(timed import_dexmira "$work/j$n.mdb")
    mt=$(timed import_mdbtools "$work/j$n.mdb")
    printf '%7d | %8.3f | %8.3f | %8.3f | %8.3f | %12.1fx | %12.2fx | %11.2fx\n' "$n" "$ex" "$ck" "$im" "$mt" \
        "$(echo "$mt / $im" | bc -l)" "$(echo "$ex / $im" | bc -l)" "$(echo "$ck / $im" | bc -l)"
    rm -f "$s" "$work/j$n.mdb"
done
echo
echo "goals: import at least 4x faster than the mdbtools route at 100,000 rows; export no slower than"
echo "the import of the same data (export/import <= 1); check at most half the import (check/import <= 0.5)"
