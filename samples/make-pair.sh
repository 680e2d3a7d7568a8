#!/usr/bin/env bash
# Makes the main job's pair of VelmoraII databases at stored version 1: the
# reference, and a customer's copy that has drifted (samples/vardoII/drift.sql).
# usage: samples/make-pair.sh DEXMIRA OUTDIR
set -euo pipefail
dexmira=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
for name in reference customer; do
  rm -f "$out/$name.mdb"
  "$dexmira" create "$out/$name.mdb" --password kt5316
  "$dexmira" exec "$out/$name.mdb" --password kt5316 < "$here/vardoII/base.sql" > /dev/null
done
"$dexmira" exec "$out/customer.mdb" --password kt5316 < "$here/vardoII/drift.sql" > /dev/null
echo "reference: $out/reference.mdb"
echo "customer:  $out/customer.mdb"
