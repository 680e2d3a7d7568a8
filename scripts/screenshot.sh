#!/usr/bin/env bash
# Takes a screenshot of the window after it compared two small stores whose
# indexes differ, and one of the details box of the customer table (what a
# double click on its row opens) beside it as OUT-details.png.
# Usage: scripts/screenshot.sh [--others] [OUT.png]   (default out/screenshot.png)
# --others: instead, two stores whose keys and indexes agree (no marked row)
# but which differ otherwise (a table and a field on one side only, a field's
# size): the window's status line under the empty grid says so.
# BUILD_DIR chooses the build folder (default build). The images are build
# products: out/ is ignored by git.
#
# DEXMIRA_SCREENSHOT_DETAILS_ROW=N is read only with --screenshot: after the
# window's image, the program opens the details box of grid row N and saves
# it too. Row 3 is customer.office, the second marked row.
set -euo pipefail
cd "$(dirname "$0")/.."
BIN=${BUILD_DIR:-build}/src/app/dexmira
OTHERS=0
if [ "${1:-}" = "--others" ]; then OTHERS=1; shift; fi
OUT=${1:-out/screenshot.png}
if [ ! -x "$BIN" ]; then
  echo "screenshot.sh: $BIN not found; build it first (scripts/build.sh)" >&2
  exit 2
fi
command -v xvfb-run >/dev/null || { echo "screenshot.sh: xvfb-run is missing (apt-get install xvfb xauth)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
A=$work/customer.mdb
B=$work/reference.mdb
PW=kt5316

make_store() {  # FILE STATEMENT...
  local file=$1; shift
  "$BIN" create "$file" --password "$PW"
  "$BIN" exec "$file" --password "$PW" "$@" >/dev/null  # affected-row counts
}

if [ "$OTHERS" = 1 ]; then
  make_store "$B" \
    "CREATE TABLE customer (code VARCHAR(6) NOT NULL, name VARCHAR(50) DEFAULT \"\", memo TEXT, CONSTRAINT pk_customer PRIMARY KEY (code))" \
    "CREATE TABLE invn_edit (code LONG NOT NULL, qnt DOUBLE DEFAULT 0, CONSTRAINT pk_invn_edit PRIMARY KEY (code))"
  make_store "$A" \
    "CREATE TABLE customer (code VARCHAR(6) NOT NULL, name VARCHAR(40) DEFAULT \"\", CONSTRAINT pk_customer PRIMARY KEY (code))"
  mkdir -p "$(dirname "$OUT")"
  XDG_CONFIG_HOME=$work/config xvfb-run -a -s "-screen 0 1400x1000x24" \
    "$BIN" --path-a "$A" --path-b "$B" --compare --screenshot "$OUT" --dialogs-log
  echo "$OUT"
  exit 0
fi

# The reference: keys and indexes as they should be.
make_store "$B" \
  "CREATE TABLE office (code SMALLINT NOT NULL, name VARCHAR(30) DEFAULT \"\", CONSTRAINT pk_office PRIMARY KEY (code))" \
  "CREATE TABLE customer (code VARCHAR(6) NOT NULL, name VARCHAR(50) DEFAULT \"\", office SMALLINT DEFAULT 0, memo TEXT, CONSTRAINT pk_customer PRIMARY KEY (code), CONSTRAINT fk_customer_office FOREIGN KEY (office) REFERENCES office (code))" \
  "CREATE INDEX idx_customer_name ON customer (name)" \
  "CREATE TABLE sale_log (id AUTOINCREMENT, customer VARCHAR(6), amount DOUBLE DEFAULT 0, s_date DATETIME, CONSTRAINT pk_sale_log PRIMARY KEY (id))" \
  "CREATE INDEX idx_sale_log_date ON sale_log (s_date)"

# The customer's copy: drifted (a key, a foreign key and an index missing,
# an index too many, a field of its own, a shorter name).
make_store "$A" \
  "CREATE TABLE office (code SMALLINT NOT NULL, name VARCHAR(30) DEFAULT \"\")" \
  "CREATE TABLE customer (code VARCHAR(6) NOT NULL, name VARCHAR(40) DEFAULT \"\", office SMALLINT DEFAULT 0, memo TEXT, extra VARCHAR(10), CONSTRAINT pk_customer PRIMARY KEY (code))" \
  "CREATE INDEX idx_customer_office ON customer (office)" \
  "CREATE TABLE sale_log (id AUTOINCREMENT, customer VARCHAR(6), amount DOUBLE DEFAULT 0, s_date DATETIME, CONSTRAINT pk_sale_log PRIMARY KEY (id))" \
  "CREATE INDEX idx_sale_log_amount ON sale_log (amount)"

mkdir -p "$(dirname "$OUT")"
# Settings of this run stay in the temporary folder.
XDG_CONFIG_HOME=$work/config DEXMIRA_SCREENSHOT_DETAILS_ROW=3 xvfb-run -a -s "-screen 0 1400x1000x24" \
  "$BIN" --path-a "$A" --path-b "$B" --compare --screenshot "$OUT" --dialogs-log
echo "$OUT"
echo "${OUT%.png}-details.png"
