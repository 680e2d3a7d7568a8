// bench_compare: the timing helper of compare-run.sh.
//
//   bench_compare make OUT ROWS [--drifted]
//       a vardoII sample at stored version 1 with ROWS rows in customer,
//       product_m and sale (a drifted one has an extra column and index)
//   bench_compare run A B [--repeat N]
//       the comparison run with product VelmoraII (vardoII) on A and B, split
//       into copy / migrate A / migrate B / load / compare by calling the
//       functions RunComparison calls, in its order; then RunComparison
//       itself for the whole. Prints one line of medians (seconds):
//       copy migA migB load compare sum whole marked
//       and leaves the migrated copies in A's temporary folder.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSamples.h"
#include "CompareRun.h"
#include "JetStore.h"
#include "ProductMigrator.h"
#include "modCmpDB.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Headless {
    explicit Headless(dex::DbEngine& engine) : wb{grid, engine, dialogs, itemBar, overallBar, window} {
        grid.setColumnCount(dex::modCmpDB::kColumns);
    }
    dex::Grid grid;
    dex::RecordingDialogs dialogs;
    dex::ProgressBar itemBar, overallBar;
    dex::RecordingWindow window;
    dex::Workbench wb;
};

// As the comparison run copies: through a sibling file renamed into place.
void copyInto(const std::string& source, const std::string& target) {
    const fs::path part = target + ".part";
    fs::copy_file(source, part, fs::copy_options::overwrite_existing);
    for (const char* suffix : {"-wal", "-shm", "-journal"}) fs::remove(target + suffix);
    fs::rename(part, target);
}

[[noreturn]] void fail(const std::string& what, const dex::RecordingDialogs& d) {
    std::fprintf(stderr, "%s failed%s%s\n", what.c_str(), d.shown.empty() ? "" : ": ",
                 d.shown.empty() ? "" : d.shown.front().text.c_str());
    std::exit(2);
}

struct Phases {
    double copy = 0, migA = 0, migB = 0, load = 0, compare = 0;
    int64_t marked = 0;
};

Phases runPhases(dex::DbEngine& engine, const std::string& a, const std::string& b) {
    Headless h(engine);
    dex::ProductMigrator migrator(h.dialogs);
    Phases p;
    auto t = Clock::now();
    migrator.release();
    dex::CopyPaths paths = dex::FormCopyPaths(a);
    fs::create_directories(paths.folder);
    copyInto(a, paths.copyA);
    copyInto(b, paths.copyB);
    p.copy = dex::bench::SecondsSince(t);
    t = Clock::now();
    if (!migrator.migrate("vardoII", paths.copyA)) fail("migrate A", h.dialogs);
    p.migA = dex::bench::SecondsSince(t);
    t = Clock::now();
    if (!migrator.migrate("vardoII", paths.copyB)) fail("migrate B", h.dialogs);
    p.migB = dex::bench::SecondsSince(t);
    t = Clock::now();
    if (!dex::modCmpDB::LoadDBStruct(h.wb, paths.copyA, true, dex::kProductPassword, "") ||
        !dex::modCmpDB::LoadDBStruct(h.wb, paths.copyB, false, dex::kProductPassword, ""))
        fail("load", h.dialogs);
    p.load = dex::bench::SecondsSince(t);
    t = Clock::now();
    p.marked = dex::modCmpDB::CompareStruct(h.wb);
    p.compare = dex::bench::SecondsSince(t);
    return p;
}

double runWhole(dex::DbEngine& engine, const std::string& a, const std::string& b) {
    Headless h(engine);
    dex::ProductMigrator migrator(h.dialogs);
    const auto t = Clock::now();
    if (!dex::RunComparison(h.wb, dex::CompareRequest{a, b, "vardoII"}, &migrator)) fail("RunComparison", h.dialogs);
    return dex::bench::SecondsSince(t);
}

int run(const std::string& a, const std::string& b, int repeat) {
    auto engine = dex::makeJetStoreEngine();
    std::vector<double> copy, migA, migB, load, compare, sum, whole;
    int64_t marked = 0;
    for (int i = 0; i < repeat; ++i) {
        whole.push_back(runWhole(*engine, a, b));
        Phases p = runPhases(*engine, a, b);
        copy.push_back(p.copy);
        migA.push_back(p.migA);
        migB.push_back(p.migB);
        load.push_back(p.load);
        compare.push_back(p.compare);
        sum.push_back(p.copy + p.migA + p.migB + p.load + p.compare);
        marked = p.marked;
    }
    using dex::bench::Median;
    std::printf("%.4f %.4f %.4f %.4f %.4f %.4f %.4f %lld\n", Median(copy), Median(migA), Median(migB), Median(load),
                Median(compare), Median(sum), Median(whole), static_cast<long long>(marked));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 3 && args[0] == "make") {
        dex::bench::MakeVardoSample(args[1], std::atoi(args[2].c_str()), args.size() > 3 && args[3] == "--drifted");
        return 0;
    }
    if (args.size() >= 3 && args[0] == "run") {
        int repeat = 5;
        if (args.size() >= 5 && args[3] == "--repeat") repeat = std::max(1, std::atoi(args[4].c_str()));
        return run(args[1], args[2], repeat);
    }
    std::fprintf(stderr, "usage: bench_compare make OUT ROWS [--drifted] | run A B [--repeat N]\n");
    return 2;
}
