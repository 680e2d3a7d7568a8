# Sourced by the benchmark scripts: wall-clock timing of a command, median of
# $runs runs.
now() { date +%s.%N; }
median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
# Runs a command $runs times; prints the median of its wall times.
timed() {
    i=0
    while [ $i -lt "$runs" ]; do
        t0=$(now); "$@"; t1=$(now)
        echo "$t1 - $t0" | bc -l
        i=$((i + 1))
    done | median
}
