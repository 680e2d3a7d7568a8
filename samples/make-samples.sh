#!/bin/sh
# Builds the sample product databases from their SQL scripts.
# usage: samples/make-samples.sh PATH/TO/dexmira OUTDIR
set -eu
dexmira=${1:?usage: make-samples.sh DEXMIRA OUTDIR}
outdir=${2:?usage: make-samples.sh DEXMIRA OUTDIR}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$outdir"

# make_store NAME: OUTDIR/NAME.mdb, a new store with the product password,
# filled by samples/NAME/base.sql. Prints the file's path.
make_store() {
    rm -f "$outdir/$1.mdb"
    "$dexmira" create "$outdir/$1.mdb" --password kt5316
    "$dexmira" exec "$outdir/$1.mdb" --password kt5316 < "$here/$1/base.sql" > /dev/null
    echo "$outdir/$1.mdb"
}

# Base schemas at stored version 1:
make_store vardoII      # Velmora II / Velmora Lite
make_store FornII       # Quensa II
make_store FornPro      # Quensa Pro
make_store quickbilII   # Tallyvo II
