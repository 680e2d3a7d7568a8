#!/usr/bin/env bash
# Installs what is needed, builds, makes the bundled pair of VelmoraII sample
# databases (a reference and a drifted customer database, both at an old
# schema version) and compares them with the product's migrations, printing
# the differences. ./run.sh --gui opens the window with the two samples instead.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh --program
samples/make-pair.sh build/src/app/dexmira build/samples
# A is the customer's database, B the reference, as in the window.
A=build/samples/customer.mdb
B=build/samples/reference.mdb
if [ "${1:-}" = "--gui" ]; then
  exec build/src/app/dexmira --path-a "$A" --path-b "$B" --product VelmoraII
fi
echo
echo "== dexmira compare $A $B --product VelmoraII"
REPORT=build/samples/report.html
status=0
build/src/app/dexmira compare "$A" "$B" --product VelmoraII --report "$REPORT" 2>&1 || status=$?
# Exit status 1 means differences were found, which is what the samples show.
[ "$status" -le 1 ]
echo
echo "HTML report of the comparison: $(cd "$(dirname "$REPORT")" && pwd)/$(basename "$REPORT")"
