// bench_compare: the timing helper of compare-run.sh.
//
//   bench_compare make OUT ROWS [--drifted | --drift K]
//       a vardoII sample at stored version 1 with ROWS rows in customer,
//       product_m and sale (a drifted one has an extra column and index;
//       --drift 2 and 3 drift otherwise, see MakeVardoSample)
//   bench_compare run A B [--repeat N]
//       the comparison run with product VelmoraII (vardoII) on A and B, split
//       into copy / migrate A / migrate B / load / compare by calling the
//       functions RunComparison calls, in its order; then RunComparison
//       itself for the whole, once with copy B migrated after copy A on one
//       thread (as before the second thread) and once with B migrated beside
//       A. Prints one line of medians (seconds):
//       copy migA migB load compare sum whole-one-thread whole marked
//       and leaves the migrated copies in A's temporary folder.
//   bench_compare wide OUT TABLES [--drifted]
//       a store of TABLES tables of 31 fields each (see MakeWideStore)
//   bench_compare passes A B [--repeat N]
//       loads A and B into a grid and compares them, without a product.
//       Prints one line of medians: load compare compare-old rows marked,
//       where compare-old is the first, quadratic passes on the same grid.
#include <malloc.h>

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
#include "ReferencePasses.h"
#include "modCmpDB.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Headless {
    explicit Headless(dex::DbEngine& engine) : wb{grid, engine, dialogs, itemBar, overallBar, window} {
        grid.setColumnCount(dex::gridlayout::kColumns);
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

// The migrator without its twin: both copies migrated on the calling thread.
class OneThreadMigrator : public dex::ProductMigrator {
public:
    using ProductMigrator::ProductMigrator;
    TwinMaker twinMaker() override { return {}; }
};

double runWhole(dex::DbEngine& engine, const std::string& a, const std::string& b, bool oneThread) {
    Headless h(engine);
    dex::ProductMigrator twins(h.dialogs);
    OneThreadMigrator single(h.dialogs);
    dex::Migrator& migrator = oneThread ? static_cast<dex::Migrator&>(single) : twins;
    const auto t = Clock::now();
    if (!dex::RunComparison(h.wb, dex::CompareRequest{a, b, "vardoII"}, &migrator)) fail("RunComparison", h.dialogs);
    return dex::bench::SecondsSince(t);
}

int run(const std::string& a, const std::string& b, int repeat) {
    auto engine = dex::makeJetStoreEngine();
    std::vector<double> copy, migA, migB, load, compare, sum, whole, wholeOneThread;
    int64_t marked = 0;
    for (int i = 0; i < repeat; ++i) {
        whole.push_back(runWhole(*engine, a, b, false));
        wholeOneThread.push_back(runWhole(*engine, a, b, true));
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
    std::printf("%.4f %.4f %.4f %.4f %.4f %.4f %.4f %.4f %lld\n", Median(copy), Median(migA), Median(migB),
                Median(load), Median(compare), Median(sum), Median(wholeOneThread), Median(whole),
                static_cast<long long>(marked));
    return 0;
}

// Loads both stores into a fresh grid; returns the seconds it took.
double loadBoth(Headless& h, const std::string& a, const std::string& b) {
    const auto t = Clock::now();
    if (!dex::modCmpDB::LoadDBStruct(h.wb, a, true, dex::kProductPassword, "") ||
        !dex::modCmpDB::LoadDBStruct(h.wb, b, false, dex::kProductPassword, ""))
        fail("load", h.dialogs);
    return dex::bench::SecondsSince(t);
}

int passes(const std::string& a, const std::string& b, int repeat) {
    auto engine = dex::makeJetStoreEngine();
    std::vector<double> load, compare, old;
    int rows = 0;
    int64_t marked = 0, markedOld = 0;
    for (int i = 0; i < repeat; ++i) {
        Headless h(*engine);
        load.push_back(loadBoth(h, a, b));
        rows = h.grid.dataRowCount();
        auto t = Clock::now();
        marked = dex::modCmpDB::CompareStruct(h.wb);
        compare.push_back(dex::bench::SecondsSince(t));
        Headless r(*engine);
        loadBoth(r, a, b);
        t = Clock::now();
        markedOld = dex::reference::CompareStruct(r.wb);
        old.push_back(dex::bench::SecondsSince(t));
    }
    if (marked != markedOld) std::fprintf(stderr, "the passes disagree: %lld / %lld\n", (long long)marked, (long long)markedOld);
    using dex::bench::Median;
    std::printf("%.4f %.4f %.4f %d %lld\n", Median(load), Median(compare), Median(old), rows, static_cast<long long>(marked));
    return marked == markedOld ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);  // as dexmira itself runs
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 3 && args[0] == "make") {
        int drift = 0;
        if (args.size() > 3 && args[3] == "--drifted") drift = 1;
        if (args.size() > 4 && args[3] == "--drift") drift = std::atoi(args[4].c_str());
        dex::bench::MakeVardoSample(args[1], std::atoi(args[2].c_str()), drift);
        return 0;
    }
    if (args.size() >= 3 && args[0] == "wide") {
        dex::bench::MakeWideStore(args[1], std::atoi(args[2].c_str()), args.size() > 3 && args[3] == "--drifted");
        return 0;
    }
    if (args.size() >= 3 && (args[0] == "run" || args[0] == "passes")) {
        int repeat = 5;
        if (args.size() >= 5 && args[3] == "--repeat") repeat = std::max(1, std::atoi(args[4].c_str()));
        return args[0] == "run" ? run(args[1], args[2], repeat) : passes(args[1], args[2], repeat);
    }
    std::fprintf(stderr, "usage: bench_compare make OUT ROWS [--drifted | --drift K] | run A B [--repeat N] |\n"
                         "       wide OUT TABLES [--drifted] | passes A B [--repeat N]\n");
    return 2;
}
