// bench_ladder: the vardoII ladder 1 -> 141 on the sample with customer,
// product_m and sale filled to 0, 10,000 and 100,000 rows, through the
// scratch-write engine the comparison's copies use. Prints a table.
//
// usage: bench_ladder [--repeat N] [--top K] [ROWS ...]
//   --top K  also lists the K statements that took longest (time from one
//            statement handed to the engine to the next) for each size.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "BenchSamples.h"
#include "MigrationEngine.h"
#include "ProductMigrator.h"
#include "modDBsub.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    int repeat = 5;
    int top = 0;
    std::vector<int> rows;
};

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--repeat" && i + 1 < argc) o.repeat = std::max(1, std::atoi(argv[++i]));
        else if (a == "--top" && i + 1 < argc) o.top = std::atoi(argv[++i]);
        else o.rows.push_back(std::atoi(a.c_str()));
    }
    if (o.rows.empty()) o.rows = {0, 10000, 100000};
    return o;
}

// Time per statement text, summed over a run: from the moment a statement is
// handed to the engine until the next one is.
class StatementClock {
public:
    void operator()(const std::string& sql) {
        const auto now = Clock::now();
        if (!last_.empty()) totals_[last_] += std::chrono::duration<double>(now - lastAt_).count();
        last_ = sql;
        lastAt_ = now;
    }
    void finish() { (*this)(""); }
    void print(int top) const {
        std::vector<std::pair<double, std::string>> v;
        for (const auto& [sql, s] : totals_) v.emplace_back(s, sql);
        std::sort(v.rbegin(), v.rend());
        double sum = 0;
        for (const auto& e : v) sum += e.first;
        std::printf("    %zu statements, %.3f s in all; slowest:\n", v.size(), sum);
        for (int i = 0; i < top && i < static_cast<int>(v.size()); ++i)
            std::printf("    %8.4f s  %.110s\n", v[i].first, v[i].second.c_str());
    }

private:
    std::map<std::string, double> totals_;
    std::string last_;
    Clock::time_point lastAt_;
};

// One ladder on a fresh copy of the template; returns its seconds.
double runLadder(const fs::path& templ, const fs::path& work, StatementClock* clock) {
    fs::copy_file(templ, work, fs::copy_options::overwrite_existing);
    dex::RecordingDialogs dialogs;
    dex::ProductMigrator migrator(dialogs);
    if (clock) migrator.session().setTrace([clock](const std::string& sql) { (*clock)(sql); });
    const auto start = Clock::now();
    const bool ok = migrator.migrate("vardoII", work.string());
    const double seconds = dex::bench::SecondsSince(start);
    if (clock) clock->finish();
    const int version = dex::migration::ReadStoredVersion(migrator.session());
    migrator.release();
    if (!ok || version != 141 || !dialogs.shown.empty()) {
        std::fprintf(stderr, "ladder failed: ok=%d version=%d messages=%zu%s%s\n", ok, version,
                     dialogs.shown.size(), dialogs.shown.empty() ? "" : ": ", dialogs.shown.empty() ? "" : dialogs.shown[0].text.c_str());
        std::exit(2);
    }
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    const fs::path dir = fs::temp_directory_path() / ("dexmira-bench-ladder-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::printf("vardoII ladder 1 -> 141, scratch-write engine, %d runs per size\n\n", o.repeat);
    std::printf("%10s  %10s  %10s  %10s  %10s\n", "rows", "median s", "min s", "max s", "vs 0 rows");
    double base = 0;
    for (int rows : o.rows) {
        const fs::path templ = dir / ("vardoII-" + std::to_string(rows) + ".mdb");
        dex::bench::MakeVardoSample(templ, rows);
        std::vector<double> runs;
        for (int i = 0; i < o.repeat; ++i) runs.push_back(runLadder(templ, dir / "work.mdb", nullptr));
        const double median = dex::bench::Median(runs);
        if (rows == o.rows.front()) base = median;
        std::printf("%10d  %10.3f  %10.3f  %10.3f  %9.2fx\n", rows, median,
                    *std::min_element(runs.begin(), runs.end()), *std::max_element(runs.begin(), runs.end()),
                    base > 0 ? median / base : 0.0);
        if (o.top > 0) {
            StatementClock clock;
            runLadder(templ, dir / "work.mdb", &clock);
            clock.print(o.top);
        }
        std::fflush(stdout);
    }
    fs::remove_all(dir);
    return 0;
}
