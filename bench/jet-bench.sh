# Sourced by the Jet file benchmarks (import-run.sh, export-run.sh,
# compact-run.sh) after `here` is set: their arguments [BUILD_DIR] [ROWS ...],
# the programs they time, a work folder removed on exit, the timing helpers,
# and the import they all measure beside their own command.
build=${1:-$here/../build}
[ $# -gt 0 ] && shift
rows=${*:-10000 100000}
runs=${RUNS:-3}
helper=$build/bench/bench_import
dexmira=$build/src/app/dexmira
[ -x "$helper" ] && [ -x "$dexmira" ] || { echo "build dexmira and bench_import in $build first" >&2; exit 2; }
# Each of these tools not found ends the run, naming its package.
require_tools() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "$tool not found (packages mdbtools, sqlite3, bc)" >&2; exit 2; }
    done
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

. "$here/timing.sh"
import_dexmira() { rm -f "$work/dx.mdb"; "$dexmira" import "$1" "$work/dx.mdb" --password kt5316 2>/dev/null; }
