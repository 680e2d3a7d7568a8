#!/bin/sh
# Builds the sample product databases from their SQL scripts.
# usage: samples/make-samples.sh PATH/TO/dexmira OUTDIR
set -eu
dexmira=${1:?usage: make-samples.sh DEXMIRA OUTDIR}
outdir=${2:?usage: make-samples.sh DEXMIRA OUTDIR}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$outdir"

# Velmora II / Velmora Lite (vardoII): base schema at stored version 1.
rm -f "$outdir/vardoII.mdb"
"$dexmira" create "$outdir/vardoII.mdb" --password kt5316
"$dexmira" exec "$outdir/vardoII.mdb" --password kt5316 < "$here/vardoII/base.sql" > /dev/null
echo "$outdir/vardoII.mdb"
