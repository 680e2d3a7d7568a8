// dexmira survey: many databases compared with one reference, each in a job
// process of its own, as a user runs it.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <set>

#include "JetStore.h"
#include "JetTestSupport.h"
#include "JetWriter.h"
#include "RunProgram.h"
#include "UniqueFolder.h"
#include "modDBsub.h"

namespace dex::test {
namespace {

namespace fs = std::filesystem;

// dexmira with TMPDIR pointing at the test's own folder (and writes limited
// to fileSizeLimit bytes, when given).
ProgramResult dexmira(const fs::path& tmpdir, const std::vector<std::string>& args, long fileSizeLimit = 0) {
    std::vector<std::string> all{"TMPDIR=" + tmpdir.string(), DEXMIRA_BIN};
    all.insert(all.end(), args.begin(), args.end());
    // In the default language: the reports' texts below are Korean.
    return runProgram("/usr/bin/env", all, "", fileSizeLimit, dex::test::kLanguageVariables);
}

void runScript(const std::string& path, const std::string& password, const std::string& script) {
    auto engine = makeJetStoreEngine();
    auto conn = engine->openConnection(modDBsub::ConnectionString(path, password));
    std::ifstream in(fs::path(DEX_SAMPLES_DIR) / "vardoII" / script);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos || line.rfind("--", 0) == 0) continue;
        conn->execute(line);
    }
}

// The vardoII base schema at version 1; drift.sql makes three tables differ.
void makeVardoStore(const std::string& path, const std::string& password, bool drifted) {
    createStore(path, password);
    runScript(path, password, "base.sql");
    if (drifted) runScript(path, password, "drift.sql");
}

// A real Jet 4 file with the store's tables and rows, under the product password.
void makeJetCopy(const std::string& store, const std::string& jet) {
    auto engine = makeJetStoreEngine();
    std::vector<TableDef> tables;
    for (auto& t : engine->openDatabase(store, 0, true, ";pwd=kt5316")->tableDefs())
        if (t.name.rfind("MSys", 0) != 0) tables.push_back(t);
    dex::test::WDatabase db = dex::test::fromTableDefs(
        tables, [&](const std::string& table) { return allRows(*engine, store, "kt5316", table); });
    db.password = "kt5316";
    dex::test::writeJetFile(jet, db);
}

std::set<std::string> namesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

// The summary's lines between the header and the totals, cut at runs of two or more blanks.
std::vector<std::vector<std::string>> tableRows(const std::string& out) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(std::regex_replace(line, std::regex(" +"), " "), "file version marked others status");
    const std::regex gap(" {2,}");
    while (std::getline(lines, line)) {
        if (line.find(" databases: ") != std::string::npos || line.find(" database: ") != std::string::npos) break;
        rows.emplace_back(std::sregex_token_iterator(line.begin(), line.end(), gap, -1), std::sregex_token_iterator());
    }
    return rows;
}

using Rows = std::vector<std::vector<std::string>>;

class Survey : public ::testing::Test {
protected:
    void SetUp() override {
        dir = makeUniqueFolder("dex_survey");
        tmp = dir / "tmp";
        fs::create_directory(tmp);
        src = dir / "src";
        fs::create_directory(src);
        reference = (src / "reference.mdb").string();
        differing = (src / "customer.mdb").string();
        sameJet = (src / "jet.mdb").string();
        damaged = (src / "damaged.mdb").string();
        wrongPassword = (src / "other.mdb").string();
        makeVardoStore(reference, "kt5316", false);
        makeVardoStore(differing, "kt5316", true);
        makeVardoStore(wrongPassword, "other", false);
        makeJetCopy(reference, sameJet);
        std::ofstream(damaged, std::ios::binary) << readWhole(reference).substr(0, 3000);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    fs::path dir, tmp, src;
    std::string reference, differing, sameJet, damaged, wrongPassword;
};

TEST_F(Survey, RowsStatusesAndTheOriginalsLeftAlone) {
    std::map<std::string, std::string> before;
    for (const auto& name : namesIn(src)) before[name] = readWhole(src / name);

    ProgramResult all = dexmira(tmp, {"survey", reference, damaged, sameJet, wrongPassword, differing, "--product",
                                      "VelmoraII", "--jobs", "2"});
    EXPECT_EQ(all.status, 2) << all.err;
    EXPECT_EQ(tableRows(all.out),
              (Rows{{differing, "1", "4", "3", "differs"},
                    {sameJet, "1", "0", "0", "same"},
                    {damaged, "-", "-", "-", "failed: Error 3343 (Unrecognized database format '" + damaged + "'.)"},
                    {wrongPassword, "-", "-", "-", "failed: Error 3031 (Not a valid password for '" + wrongPassword + "'.)"}}))
        << all.out;
    EXPECT_NE(all.out.find("\n4 databases: 1 differ, 1 same, 2 failed\n"), std::string::npos) << all.out;
    EXPECT_NE(all.err.find("survey: 4/4 done, 2 failed, "), std::string::npos) << all.err;

    ProgramResult differs = dexmira(tmp, {"survey", reference, sameJet, differing, "--product", "vardoII", "--json"});
    EXPECT_EQ(differs.status, 1) << differs.err;
    EXPECT_NE(differs.out.find("{\"ordinal\":2,\"file\":\"" + differing +
                               "\",\"version\":1,\"marked\":4,\"others\":3,\"status\":\"differs\",\"error\":null,\"report\":null},\n"
                               "{\"ordinal\":1,\"file\":\"" + sameJet + "\",\"version\":1,\"marked\":0,\"others\":0,\"status\":\"same\""),
              std::string::npos)
        << differs.out;
    EXPECT_EQ(dexmira(tmp, {"survey", reference, sameJet, "--product", "VelmoraII"}).status, 0);

    EXPECT_EQ(namesIn(src).size(), before.size()) << "nothing is written beside the databases";
    for (const auto& [name, bytes] : before) EXPECT_TRUE(readWhole(src / name) == bytes) << name << " changed";
    EXPECT_TRUE(fs::is_empty(tmp)) << "every temporary folder is removed";
}

TEST_F(Survey, ShardsTakeEveryNthDatabaseFromKCountedFromOne) {
    std::vector<std::string> dbs;
    for (int i = 1; i <= 7; ++i) dbs.push_back((src / ("db-" + std::to_string(i) + ".mdb")).string());
    std::vector<std::string> seen;
    for (const std::string shard : {"1/3", "2/3", "3/3"}) {
        std::vector<std::string> args{"survey", reference};
        args.insert(args.end(), dbs.begin(), dbs.end());
        for (const std::string a : {"--product", "VelmoraII", "--shard", shard.c_str()}) args.push_back(a);
        ProgramResult r = dexmira(tmp, args);
        EXPECT_EQ(r.status, 2) << "missing files fail their rows: " << r.err;
        for (const auto& row : tableRows(r.out)) {
            seen.push_back(row[0]);
            EXPECT_EQ(row[4], "failed: 파일을 찾을 수 없습니다. / " + row[0]);
        }
        EXPECT_NE(r.out.find("(shard " + shard + ")\n"), std::string::npos) << r.out;
    }
    EXPECT_EQ(seen, (std::vector<std::string>{dbs[0], dbs[3], dbs[6], dbs[1], dbs[4], dbs[2], dbs[5]}));

    for (const std::string bad : {"0/3", "4/3", "1/0", "2", "a/b"}) {
        ProgramResult r = dexmira(tmp, {"survey", reference, dbs[0], "--product", "VelmoraII", "--shard", bad});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(r.err, "--shard wants K/N with N at least 1 and K from 1 to N (K counts from 1), not '" + bad + "'\n");
    }
    EXPECT_TRUE(fs::is_empty(tmp));
}

TEST_F(Survey, NamesWithTabsAndLineBreaksKeepTheirRow) {
    const std::string tabbed = (src / "tab\there.mdb").string(), broken = (src / "line\nbreak\\.mdb").string();
    fs::copy_file(differing, tabbed);
    ProgramResult r = dexmira(tmp, {"survey", reference, tabbed, broken, "--product", "VelmoraII"});
    EXPECT_EQ(r.status, 2) << r.err;
    const std::string folder = src.string();
    EXPECT_EQ(tableRows(r.out), (Rows{{folder + "/tab\\there.mdb", "1", "4", "3", "differs"},
                                      {folder + "/line\\nbreak\\\\.mdb", "-", "-", "-",
                                       "failed: 파일을 찾을 수 없습니다. / " + folder + "/line / break\\\\.mdb"}}))
        << r.out;
    EXPECT_NE(r.out.find("\n2 databases: 1 differ, 0 same, 1 failed\n"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::is_empty(tmp));
}

TEST_F(Survey, InterruptStopsTheJobsRemovesTheTemporaryFoldersAndExits130) {
    std::vector<std::string> args{"/usr/bin/env", "TMPDIR=" + tmp.string(), DEXMIRA_BIN, "survey", reference};
    for (int i = 1; i <= 40; ++i) {
        const fs::path copy = src / ("c" + std::to_string(i) + ".mdb");
        fs::copy_file(differing, copy);
        args.push_back(copy.string());
    }
    for (const char* a : {"--product", "VelmoraII", "--jobs", "2"}) args.push_back(a);
    int errPipe[2];
    ASSERT_EQ(::pipe(errPipe), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const fs::path outFile = dir / "stdout.txt";
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(errPipe[1]);

    // Once one database is done, the next jobs are running.
    std::string err;
    char buf[512];
    bool signalled = false;
    for (ssize_t n; (n = ::read(errPipe[0], buf, sizeof buf)) > 0;) {
        err.append(buf, static_cast<size_t>(n));
        if (!signalled && err.find("survey: 1/40 done") != std::string::npos) {
            ::kill(pid, SIGINT);
            signalled = true;
        }
    }
    ::close(errPipe[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(signalled) << err;
    ASSERT_TRUE(WIFEXITED(status)) << err;
    EXPECT_EQ(WEXITSTATUS(status), 130) << err;
    EXPECT_NE(err.find("\nsurvey interrupted: "), std::string::npos) << err;
    // The summary of the databases done so far reaches stdout.
    const std::string out = readWhole(outFile);
    const Rows rows = tableRows(out);
    ASSERT_FALSE(rows.empty()) << out;
    EXPECT_LT(rows.size(), 40u);
    for (const auto& row : rows) EXPECT_EQ(row, (std::vector<std::string>{row[0], "1", "4", "3", "differs"})) << out;
    EXPECT_NE(out.find(rows.size() == 1 ? "\n1 database: " : " databases: "), std::string::npos) << out;
    EXPECT_NE(out.find(" (interrupted: " + std::to_string(rows.size()) + " of 40 done)\n"), std::string::npos) << out;
    EXPECT_TRUE(fs::is_empty(tmp)) << "left behind: " << (fs::is_empty(tmp) ? "" : fs::directory_iterator(tmp)->path().string());
    // No job outlives the survey: none names the test's temporary folder any more.
    for (const auto& p : fs::directory_iterator("/proc")) {
        const std::string cmdline = readWhole(p.path() / "cmdline");
        EXPECT_EQ(cmdline.find(tmp.string()), std::string::npos) << p.path();
    }
}

TEST_F(Survey, ReportFolderHoldsOneReportPerDatabaseAndAnIndexLinkingThem) {
    fs::create_directories(src / "a");
    fs::create_directories(src / "b");
    const std::string first = (src / "a" / "customer.mdb").string(), second = (src / "b" / "customer.mdb").string(),
                      odd = (src / "x&<y>.mdb").string();
    fs::copy_file(differing, first);
    fs::copy_file(reference, second);
    fs::copy_file(differing, odd);
    const fs::path reports = dir / "out" / "reports";
    // Links planted where a page and the index could be staged are never followed.
    const fs::path victim = dir / "victim.txt";
    std::ofstream(victim) << "precious";
    fs::create_directories(reports);
    fs::create_symlink(victim, reports / "0001-a_customer.mdb.html.part");
    fs::create_symlink(victim, reports / "index.html.part");
    ProgramResult r = dexmira(tmp, {"survey", reference, first, second, odd, damaged, "--product", "VelmoraII",
                                    "--report", reports.string()});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(readWhole(victim), "precious");
    fs::remove(reports / "0001-a_customer.mdb.html.part");
    fs::remove(reports / "index.html.part");
    EXPECT_EQ(namesIn(reports), (std::set<std::string>{"0001-a_customer.mdb.html", "0002-b_customer.mdb.html",
                                                        "0003-src_x__y_.mdb.html", "index.html",
                                                        "survey.json"}));
    const std::string index = readWhole(reports / "index.html");
    EXPECT_NE(index.find("<a href=\"0001-a_customer.mdb.html\">" + first + "</a>"), std::string::npos) << index;
    EXPECT_NE(index.find("<a href=\"0002-b_customer.mdb.html\">" + second + "</a>"), std::string::npos);
    EXPECT_NE(index.find("<a href=\"0003-src_x__y_.mdb.html\">" + (src / "x&amp;&lt;y&gt;.mdb").string() + "</a>"),
              std::string::npos);
    EXPECT_EQ(index.find("x&<y>"), std::string::npos) << "every name is escaped";
    EXPECT_NE(index.find("<td>" + damaged + "</td>"), std::string::npos) << "a failed database has no report to link";
    const std::string report = readWhole(reports / "0001-a_customer.mdb.html");
    EXPECT_NE(report.find(first), std::string::npos);
    EXPECT_NE(report.find("<h2>표시된 행 (4)</h2>"), std::string::npos);
    EXPECT_NE(readWhole(reports / "0002-b_customer.mdb.html").find("<h2>표시된 행 (0)</h2>"), std::string::npos);

    fs::create_directory_symlink(reports, dir / "link");
    ProgramResult link = dexmira(tmp, {"survey", reference, first, "--product", "VelmoraII", "--report", (dir / "link").string()});
    EXPECT_EQ(link.status, 2);
    EXPECT_EQ(link.err, "the report folder '" + (dir / "link").string() + "' is a symbolic link; give a real folder\n");
    ProgramResult file = dexmira(tmp, {"survey", reference, first, "--product", "VelmoraII", "--report", first});
    EXPECT_EQ(file.status, 2);
    EXPECT_EQ(file.err, "the report folder '" + first + "' is not a folder\n");
    EXPECT_TRUE(fs::is_empty(tmp));
}

TEST_F(Survey, UsageMistakesAndAReferenceThatCannotBePrepared) {
    ProgramResult help = dexmira(tmp, {"help", "survey"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: dexmira survey REFERENCE DB... --product NAME [--report DIR] [--jobs N] [--json] "
                             "[--shard K/N]\n",
                             0),
              0u)
        << help.out;
    EXPECT_EQ(dexmira(tmp, {"survey", "--help"}).out, help.out);

    ProgramResult unknown = dexmira(tmp, {"survey", reference, differing, "--product", "VelmoraII", "--colour"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, "unknown option --colour\n" + help.out);
    ProgramResult noProduct = dexmira(tmp, {"survey", reference, differing});
    EXPECT_EQ(noProduct.status, 2);
    EXPECT_EQ(noProduct.err,
              "usage: dexmira survey REFERENCE DB... --product NAME [--report DIR] [--jobs N] [--json] [--shard K/N]\n"
              "                      [--password-db PW] [--password-ref PW]\n"
              "       dexmira survey --merge DIR|FILE.json... [--report OUT] [--json]\n");
    ProgramResult jobs = dexmira(tmp, {"survey", reference, differing, "--product", "VelmoraII", "--jobs", "0"});
    EXPECT_EQ(jobs.status, 2);
    EXPECT_EQ(jobs.err, "--jobs wants a whole number from 1 to 1024, not '0'\n");
    ProgramResult tooMany = dexmira(tmp, {"survey", reference, differing, "--product", "VelmoraII", "--jobs", "1025"});
    EXPECT_EQ(tooMany.status, 2);
    EXPECT_EQ(tooMany.err, "--jobs wants a whole number from 1 to 1024, not '1025'\n");

    ProgramResult broken = dexmira(tmp, {"survey", damaged, differing, "--product", "VelmoraII"});
    EXPECT_EQ(broken.status, 2);
    EXPECT_EQ(broken.out, "");
    EXPECT_NE(broken.err.find("the reference '" + damaged + "' could not be prepared, so nothing was compared: Error 3343 "
                              "(Unrecognized database format '" + damaged + "'.)\n"),
              std::string::npos)
        << broken.err;
    EXPECT_TRUE(fs::is_empty(tmp));
}

TEST_F(Survey, EdgesOfTheStatusAndOfTheExitStatus) {
    // Exactly one marked row: the database differs.
    const std::string one = (src / "one.mdb").string();
    fs::copy_file(reference, one);
    {
        auto engine = makeJetStoreEngine();
        engine->openConnection(modDBsub::ConnectionString(one, "kt5316"))
            ->execute("CREATE INDEX idx_customer_compname ON customer(compname)");
    }
    // Files that are no databases fail their rows at once: 20 GB that take no
    // room on the disk (writes are limited to 64 MiB, so that a copy of it
    // fails instead of filling the disk), a folder, a fifo.
    // A migration step that reports an error and goes on (the index it makes
    // is there already, on another table): the row fails with that message,
    // though the comparison itself finishes (pclass.fullpath lacks its
    // index, customer.compname has one more).
    const std::string noisy = (src / "noisy.mdb").string();
    fs::copy_file(reference, noisy);
    makeJetStoreEngine()
        ->openConnection(modDBsub::ConnectionString(noisy, "kt5316"))
        ->execute("CREATE INDEX idx_pclass_fullpath ON customer(compname)");
    const std::string huge = (src / "huge.mdb").string(), folder = (src / "folder.mdb").string(),
                      fifo = (src / "pipe.mdb").string();
    std::ofstream(huge, std::ios::binary) << "Shopping list: milk, rice\n";
    fs::resize_file(huge, 20ull << 30);
    fs::create_directory(folder);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ProgramResult r =
        dexmira(tmp, {"survey", reference, huge, one, folder, fifo, noisy, "--product", "VelmoraII"}, 64l << 20);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(tableRows(r.out),
              (Rows{{one, "1", "1", "1", "differs"},
                    {huge, "-", "-", "-", "failed: Error 3343 (Unrecognized database format '" + huge + "'.)"},
                    {folder, "-", "-", "-",
                     "failed: 파일을 찾을 수 없습니다. / " + folder + " / '" + folder + "' is a folder, not a database file."},
                    {fifo, "-", "-", "-",
                     "failed: 파일을 찾을 수 없습니다. / " + fifo + " / '" + fifo +
                         "' is a fifo (a named pipe), not a database file."},
                    {noisy, "1", "2", "2",
                     "failed: 오류번호 : -2147217900 / 오류내용 : Index 'idx_pclass_fullpath' already exists."}}))
        << r.out;
    EXPECT_TRUE(fs::is_empty(tmp));

    ProgramResult differs = dexmira(tmp, {"survey", reference, one, "--product", "VelmoraII", "--jobs", "1024"});
    EXPECT_EQ(differs.status, 1) << differs.out << differs.err;
    EXPECT_NE(differs.out.find("\n1 database: 1 differ, 0 same, 0 failed\n"), std::string::npos) << differs.out;
    ProgramResult oneFailed = dexmira(tmp, {"survey", reference, sameJet, folder, "--product", "VelmoraII"});
    EXPECT_EQ(oneFailed.status, 2) << oneFailed.out;
    EXPECT_NE(oneFailed.out.find("\n2 databases: 0 differ, 1 same, 1 failed\n"), std::string::npos) << oneFailed.out;

    // Every database the same, but the index cannot be written (a folder
    // stands in its place): a failure, said so, the summary printed. A
    // report's name keeps at most 120 bytes of the database's folder and file name, whole
    // characters only.
    const fs::path reports = dir / "reports";
    fs::create_directories(reports / "index.html");
    const std::string longName = (src / (std::string(113, 'x') + "한y.mdb")).string();
    fs::copy_file(reference, longName);
    ProgramResult noIndex = dexmira(tmp, {"survey", reference, sameJet, longName, "--product", "VelmoraII", "--report",
                                          reports.string()});
    EXPECT_EQ(noIndex.status, 2) << noIndex.err;
    EXPECT_NE(noIndex.err.find("'" + (reports / "index.html").string() + "' could not be written"), std::string::npos)
        << noIndex.err;
    EXPECT_NE(noIndex.out.find("\n2 databases: 0 differ, 2 same, 0 failed\n"), std::string::npos) << noIndex.out;
    EXPECT_EQ(namesIn(reports), (std::set<std::string>{"0001-src_jet.mdb.html", "0002-src_" + std::string(113, 'x') + "한.html",
                                                        "index.html", "survey.json"}));
    EXPECT_TRUE(fs::is_empty(tmp));
}

TEST_F(Survey, AnAccessMadeFileWithAnotherPasswordFailsItsRow) {
    DEX_REQUIRE_FIXTURE(locked, "mdbreader_V2003_with-password.mdb");
    const std::string bytes = readWhole(locked);
    ProgramResult r = dexmira(tmp, {"survey", reference, locked, sameJet, "--product", "VelmoraII"});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(tableRows(r.out), (Rows{{sameJet, "1", "0", "0", "same"},
                                      {locked, "-", "-", "-", "failed: Error 3031 (Not a valid password for '" + locked + "'.)"}}));
    EXPECT_TRUE(readWhole(locked) == bytes);
    EXPECT_TRUE(fs::is_empty(tmp));
}

// A database whose only difference the grid leaves out (a table of its
// own, a field's size) differs; "same" means nothing at all differs.
TEST_F(Survey, OtherDifferencesMakeADatabaseDiffer) {
    const std::string extraTable = (src / "extra.mdb").string(), otherSize = (src / "size.mdb").string();
    auto statements = [](const std::string& path, const std::vector<std::string>& sql) {
        auto engine = makeJetStoreEngine();
        auto conn = engine->openConnection(modDBsub::ConnectionString(path, "kt5316"));
        for (const auto& s : sql) conn->execute(s);
    };
    makeVardoStore(extraTable, "kt5316", false);
    statements(extraTable, {"CREATE TABLE `extra_t` (`x` LONG)"});
    makeVardoStore(otherSize, "kt5316", false);
    statements(otherSize, {"DROP TABLE `accounts`",
                           "CREATE TABLE `accounts` (`code` VARCHAR(4) DEFAULT \"\" NOT NULL, `name` VARCHAR(40) "
                           "DEFAULT \"\" NOT NULL, PRIMARY KEY (`code`))"});
    ProgramResult r = dexmira(tmp, {"survey", reference, extraTable, otherSize, sameJet, "--product", "VelmoraII"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(tableRows(r.out), (Rows{{extraTable, "1", "0", "1", "differs"},
                                      {otherSize, "1", "0", "1", "differs"},
                                      {sameJet, "1", "0", "0", "same"}}))
        << r.out;
    EXPECT_NE(r.out.find("\n3 databases: 2 differ, 1 same, 0 failed\n"), std::string::npos) << r.out;
    ProgramResult json = dexmira(tmp, {"survey", reference, extraTable, "--product", "VelmoraII", "--json"});
    EXPECT_NE(json.out.find("\"marked\":0,\"others\":1,\"status\":\"differs\""), std::string::npos) << json.out;
}

// The databases' and the reference's own passwords, given for the survey.
TEST_F(Survey, PasswordsOfTheDatabasesAndOfTheReference) {
    ProgramResult db = dexmira(tmp, {"survey", reference, wrongPassword, "--product", "VelmoraII", "--password-db", "other"});
    EXPECT_EQ(db.status, 0) << db.err << db.out;
    EXPECT_EQ(tableRows(db.out), (Rows{{wrongPassword, "1", "0", "0", "same"}})) << db.out;
    ProgramResult ref = dexmira(tmp, {"survey", wrongPassword, differing, "--product", "VelmoraII", "--password-ref", "other"});
    EXPECT_EQ(ref.status, 1) << ref.err << ref.out;
    EXPECT_EQ(tableRows(ref.out), (Rows{{differing, "1", "4", "3", "differs"}})) << ref.out;
    ProgramResult none = dexmira(tmp, {"survey", wrongPassword, differing, "--product", "VelmoraII"});
    EXPECT_EQ(none.status, 2) << "the reference refuses the product's password";
}

// A survey spread over machines: each shard's report folder (or --json
// output) merged gives the unsharded survey's summary, index and reports.
TEST_F(Survey, MergingTheShardsGivesTheUnshardedSurvey) {
    const std::string lost = (src / "lost.mdb").string();
    makeVardoStore(lost, "kt5316", false);
    std::vector<std::string> base{"survey", reference, differing, sameJet, damaged, lost, "--product", "VelmoraII"};
    auto with = [&base](std::vector<std::string> more) {
        std::vector<std::string> all = base;
        all.insert(all.end(), more.begin(), more.end());
        return all;
    };
    const fs::path whole = dir / "whole", one = dir / "one", two = dir / "two", merged = dir / "merged";
    ProgramResult unsharded = dexmira(tmp, with({"--report", whole.string()}));
    ASSERT_EQ(unsharded.status, 2) << unsharded.err;
    ProgramResult first = dexmira(tmp, with({"--shard", "1/2", "--report", one.string()}));
    ProgramResult second = dexmira(tmp, with({"--shard", "2/2", "--report", two.string(), "--json"}));
    std::ofstream(dir / "two.json") << second.out;

    ProgramResult joined = dexmira(tmp, {"survey", "--merge", one.string(), two.string(), "--report", merged.string()});
    EXPECT_EQ(joined.status, 2) << joined.err;
    EXPECT_EQ(joined.out, unsharded.out);
    EXPECT_EQ(namesIn(merged), namesIn(whole));
    auto withoutDate = [](std::string page) {
        return std::regex_replace(page, std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}"), "DATE");
    };
    EXPECT_EQ(withoutDate(readWhole(merged / "index.html")), withoutDate(readWhole(whole / "index.html")));
    EXPECT_EQ(readWhole(merged / "survey.json"), readWhole(whole / "survey.json"));

    // From a report folder and a --json output (whose reports are not at hand).
    ProgramResult fromJson = dexmira(tmp, {"survey", "--merge", one.string(), (dir / "two.json").string()});
    EXPECT_EQ(fromJson.out, unsharded.out);
    // Shards of one survey only.
    ProgramResult twice = dexmira(tmp, {"survey", "--merge", one.string(), one.string()});
    EXPECT_EQ(twice.status, 2);
    EXPECT_NE(twice.err.find("comes twice"), std::string::npos) << twice.err;
    ProgramResult notOne = dexmira(tmp, {"survey", "--merge", (dir / "nothing").string()});
    EXPECT_EQ(notOne.status, 2);
    EXPECT_TRUE(fs::is_empty(tmp));
}

}  // namespace
}  // namespace dex::test
