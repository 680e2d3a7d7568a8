#!/bin/sh
# The import of a real Jet 4 file (the vardoII base schema with customer,
# product_m and sale filled to 10,000 and 100,000 rows) by `dexmira import`,
# beside the route a Linux user takes without Dexmira: mdb-schema FILE sqlite
# piped into sqlite3, then mdb-export -I sqlite for every table piped into
# sqlite3. Then the whole comparison run of two such Jet files with product
# VelmoraII. Prints a table of seconds (medians). Not a test.
#
# usage: bench/import-run.sh [BUILD_DIR] [ROWS ...]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
. "$here/jet-bench.sh"
require_tools mdb-schema mdb-export mdb-tables sqlite3
import_mdbtools() {
    rm -f "$work/mt.db"
    mdb-schema "$1" sqlite | sqlite3 "$work/mt.db"
    mdb-tables -1 "$1" | while IFS= read -r t; do
        mdb-export -I sqlite "$1" "$t" | sqlite3 "$work/mt.db"
    done
}
compare_run() { "$dexmira" compare "$1" "$2" --product VelmoraII > /dev/null 2>&1 || true; }
# What each route keeps: indexes, foreign keys, defaults and NOT NULL in the result.
kept_dexmira() {
    "$dexmira" structure "$work/dx.mdb" --password kt5316 | awk -F'\t' '
        NR > 1 && ($2 == "v" || $3 == "v" || $4 == "v") {k++}
        NR > 1 && $8 != "" {d++}
        NR > 1 && $9 == "X" {r++}
        END {printf "%d fields in keys or indexes, %d with a default, %d required", k, d, r}'
}
kept_mdbtools() {
    idx=$(sqlite3 "$work/mt.db" "SELECT count(*) FROM sqlite_master WHERE type = 'index'")
    fk=$(sqlite3 "$work/mt.db" "SELECT count(*) FROM sqlite_master WHERE sql LIKE '%REFERENCES%'")
    nn=$(sqlite3 "$work/mt.db" "SELECT count(*) FROM sqlite_master WHERE sql LIKE '%NOT NULL%'")
    df=$(sqlite3 "$work/mt.db" "SELECT count(*) FROM sqlite_master WHERE sql LIKE '%DEFAULT%'")
    printf '%s indexes, %s tables with FKs, %s with NOT NULL, %s with DEFAULT' "$idx" "$fk" "$nn" "$df"
}

echo "import of a Jet 4 file (vardoII base schema), $runs runs each; seconds (median)"
printf '%7s | %8s | %8s | %6s | %9s\n' rows dexmira mdbtools ratio "compare 2"
for n in $rows; do
    a="$work/a$n.mdb"
    b="$work/b$n.mdb"
    "$helper" make-jet "$a" "$n"
    cp "$a" "$b"
    dx=$(timed import_dexmira "$a")
    mt=$(timed import_mdbtools "$a")
    ratio=$(echo "$mt / $dx" | bc -l)
    cmp=$(timed compare_run "$a" "$b")
    printf '%7d | %8.3f | %8.3f | %5.1fx | %9.3f\n' "$n" "$dx" "$mt" "$ratio" "$cmp"
    echo "        kept by dexmira import: $(kept_dexmira)"
    echo "        kept by mdb-schema | sqlite3: $(kept_mdbtools)"
    rm -rf "$work/a${n}temp"
done
echo
echo "goals: import at least 3x faster than the mdbtools route; 'compare 2' (two Jet files, product"
echo "VelmoraII, import + migrate + compare) at 10,000 rows <= 1.0 s"
