// Bad luck and bad intent around the user's files: a migration that fails or
// runs out of disk midway, a database without a version row, a hot journal
// beside A, a planted link in the temporary folder, two runs on one A. The
// user's files must stay byte for byte as they were unless a command was
// asked to change them and succeeded, and nothing temporary may be left.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <signal.h>
#include <sys/file.h>

#include "HotJournal.h"
#include "RunProgram.h"
#include "UniqueFolder.h"

namespace fs = std::filesystem;

namespace dex::test {
namespace {

class Hardening : public ::testing::Test {
protected:
    void SetUp() override {
        dir = makeUniqueFolder("dex_hardening");
    }
    void TearDown() override { fs::remove_all(dir); }

    ProgramResult dexmira(const std::vector<std::string>& args, long fileSizeLimit = 0) {
        return runProgram(DEXMIRA_BIN, args, "", fileSizeLimit);
    }
    // The main job's pair at version 1: reference.mdb and customer.mdb.
    void makePair() {
        auto r = runProgram("/bin/bash", {std::string(DEX_SAMPLES_DIR) + "/make-pair.sh", DEXMIRA_BIN, dir.string()});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    std::vector<std::string> leftovers() const {
        std::vector<std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(dir)) {
            const std::string name = e.path().filename().string();
            if (name.find(".migrating-") != std::string::npos || name.find(".part") != std::string::npos ||
                name.find(".staging") != std::string::npos)
                out.push_back(e.path().string());
        }
        return out;
    }
    // Whether a staging folder is in A's temporary folder (asked while the
    // run makes and removes them: no error may stop the look).
    bool stagingThere() const {
        std::error_code ec;
        for (auto it = fs::directory_iterator(dir / "referencetemp", ec); !ec && it != fs::directory_iterator();
             it.increment(ec))
            if (it->path().filename().string().rfind(".staging", 0) == 0) return true;
        return false;
    }
    static void sql(const std::string& file, const std::string& text) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        char* err = nullptr;
        EXPECT_EQ(sqlite3_exec(db, text.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
        sqlite3_free(err);
        sqlite3_close(db);
    }

    fs::path dir;
};

TEST_F(Hardening, MigrateIsAllOrNothing) {
    makePair();
    const std::string file = (dir / "reference.mdb").string();
    // A table that a later step creates is there already: the ladder stops midway.
    ASSERT_EQ(dexmira({"exec", file, "--password", "kt5316", "CREATE TABLE invn_move (x LONG)"}).status, 0);
    const std::string before = readWhole(file);
    auto failed = dexmira({"migrate", file, "--product", "VelmoraII"});
    EXPECT_EQ(failed.status, 2);
    EXPECT_NE(failed.err.find("invn_move"), std::string::npos) << failed.err;
    EXPECT_NE(failed.err.find("the file was left unchanged"), std::string::npos) << failed.err;
    EXPECT_TRUE(readWhole(file) == before) << "the failed ladder changed the user's file";
    EXPECT_EQ(leftovers(), std::vector<std::string>{});

    // A disk that fills up midway: the copy fits, the migrated copy does not.
    const std::string other = (dir / "customer.mdb").string();
    const std::string otherBefore = readWhole(other);
    auto full = dexmira({"migrate", other, "--product", "VelmoraII"}, static_cast<long>(fs::file_size(other)) + 4096);
    EXPECT_EQ(full.status, 2) << full.err;
    EXPECT_NE(full.err.find("left unchanged"), std::string::npos) << full.err;
    EXPECT_TRUE(readWhole(other) == otherBefore);
    EXPECT_EQ(leftovers(), std::vector<std::string>{});

    // With room, the same file is brought to the last version in one step.
    auto done = dexmira({"migrate", other, "--product", "VelmoraII"});
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(dexmira({"exec", other, "--password", "kt5316",
                       "UPDATE dbversion SET ver = ver WHERE dbid = 'main' AND ver = 141"})
                  .out,
              "1\n");
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

TEST_F(Hardening, AnEmptyVersionTableIsRefusedBeforeTheFirstStep) {
    makePair();
    const std::string file = (dir / "reference.mdb").string();
    ASSERT_EQ(dexmira({"exec", file, "--password", "kt5316", "DELETE FROM dbversion"}).status, 0);
    const std::string before = readWhole(file);
    auto r = dexmira({"migrate", file, "--product", "VelmoraII", "--trace-sql"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("The table dbversion holds no row (dbid 'main')"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("ALTER"), std::string::npos) << "a step ran: " << r.out;
    EXPECT_TRUE(readWhole(file) == before);
}

TEST_F(Hardening, AHotJournalBesideANeverChangesIt) {
    makePair();
    const std::string a = (dir / "reference.mdb").string(), b = (dir / "customer.mdb").string();
    leaveHotJournal(a);
    ASSERT_TRUE(fs::exists(a + "-journal"));
    const std::string aBytes = readWhole(a), journal = readWhole(a + "-journal");

    auto structure = dexmira({"structure", a, "--password", "kt5316"});
    EXPECT_EQ(structure.status, 2);
    EXPECT_NE(structure.err.find(a + "-journal"), std::string::npos) << structure.err;
    auto plain = dexmira({"compare", a, b});
    EXPECT_EQ(plain.status, 2);
    EXPECT_TRUE(readWhole(a) == aBytes) << "reading A rolled it back";
    EXPECT_TRUE(readWhole(a + "-journal") == journal);

    // With a product, the copy takes the journal along and is recovered.
    auto product = dexmira({"compare", a, b, "--product", "VelmoraII"});
    EXPECT_EQ(product.status, 1) << product.err;
    EXPECT_EQ(product.err, "4건의 다른곳이 발견 되었습니다.\n");
    EXPECT_TRUE(readWhole(a) == aBytes);
}

TEST_F(Hardening, PlantedLinksAndASecondRunNeverReachOtherFiles) {
    makePair();
    const std::string a = (dir / "reference.mdb").string(), b = (dir / "customer.mdb").string();
    const fs::path elsewhere = dir / "elsewhere";
    fs::create_directory(elsewhere);
    const fs::path victim = dir / "victim.txt";
    std::ofstream(victim) << "precious";

    // The temporary folder's name is a link to another folder: refused.
    fs::create_directory_symlink(elsewhere, dir / "referencetemp");
    auto linked = dexmira({"compare", a, b, "--product", "VelmoraII"});
    EXPECT_EQ(linked.status, 2);
    EXPECT_NE(linked.err.find("symbolic link"), std::string::npos) << linked.err;
    EXPECT_TRUE(fs::is_empty(elsewhere));
    fs::remove(dir / "referencetemp");

    // Links planted under the copies' names and the old staging name are
    // replaced, never followed.
    fs::create_directory(dir / "referencetemp");
    for (const char* name : {"temp(A).mdb", "temp(A).mdb.part", "temp(B).mdb-journal"})
        fs::create_symlink(victim, dir / "referencetemp" / name);
    auto run = dexmira({"compare", a, b, "--product", "VelmoraII"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(readWhole(victim), "precious");
    EXPECT_FALSE(fs::is_symlink(dir / "referencetemp" / "temp(A).mdb"));

    // A second run while the first holds the folder is refused clearly.
    const int fd = ::open((dir / "referencetemp" / ".lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    const std::string copyBytes = readWhole(dir / "referencetemp" / "temp(A).mdb");
    auto second = dexmira({"compare", a, b, "--product", "VelmoraII"});
    ::close(fd);
    EXPECT_EQ(second.status, 2);
    EXPECT_NE(second.err.find("Another comparison is using the temporary folder"), std::string::npos) << second.err;
    EXPECT_TRUE(readWhole(dir / "referencetemp" / "temp(A).mdb") == copyBytes) << "the first run's copy was touched";
    fs::remove(dir / "referencetemp" / "temp(A).mdb.part");  // the planted link, left alone
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

TEST_F(Hardening, ACompareStoppedBySignalRemovesItsStagingFolderAndCopies) {
    makePair();
    const std::string a = (dir / "reference.mdb").string(), b = (dir / "customer.mdb").string();
    const std::string aBytes = readWhole(a), bBytes = readWhole(b);
    for (const auto& [signo, name] : {std::pair{SIGINT, "Interrupt"}, std::pair{SIGHUP, "Hangup"}}) {
        SCOPED_TRACE(name);
        bool signalled = false;
        const ProgramResult r = runSignalledWhen(DEXMIRA_BIN, {"compare", a, b, "--product", "VelmoraII"}, signo,
                                                 [&] { return stagingThere(); }, signalled);
        ASSERT_TRUE(signalled) << "the comparison ended before its staging folder was seen: " << r.err;
        EXPECT_EQ(r.status, 130) << r.err;
        EXPECT_NE(r.err.find("compare interrupted by signal " + std::to_string(signo) + " (" + name +
                             "): its temporary files were removed; '" + a + "' and '" + b + "' were left as they were\n"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(leftovers(), std::vector<std::string>{});
        for (const char* copy : {"temp(A).mdb", "temp(B).mdb"})
            EXPECT_FALSE(fs::exists(dir / "referencetemp" / copy)) << copy << ": a copy the run had not finished";
        EXPECT_TRUE(readWhole(a) == aBytes && readWhole(b) == bBytes);
    }
    // Nothing stands in the way of the next run.
    auto again = dexmira({"compare", a, b, "--product", "VelmoraII"});
    EXPECT_EQ(again.status, 1) << again.err;
}

// A file whose name holds a connection text's syntax (';', '=', quotes,
// blanks) naming another database: only the named file is ever opened.
TEST_F(Hardening, FileNamesNeverRedirectTheConnection) {
    makePair();
    const std::string victim = (dir / "victim.db").string();
    ASSERT_EQ(dexmira({"create", victim}).status, 0);
    ASSERT_EQ(dexmira({"exec", victim, "CREATE TABLE sale (id LONG)", "INSERT INTO sale (id) VALUES (1)"}).status, 0);
    const std::string victimBytes = readWhole(victim);
    const std::vector<std::string> names = {
        "b;Data Source=" + victim + ";y.mdb", "c'; Data Source = '" + victim + "';y.mdb",
        "d\";Data Source=\"" + victim + "\";y.mdb", " e ;Provider=SQLOLEDB;Data Source=" + victim + "; .mdb"};
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        const fs::path file = dir / name;
        fs::create_directories(file.parent_path());
        ASSERT_EQ(dexmira({"create", file.string()}).status, 0);
        auto dropped = dexmira({"exec", file.string(), "DROP TABLE sale"});
        EXPECT_EQ(dropped.status, 2);
        EXPECT_EQ(dropped.err, "Error -2147217865 (The database engine cannot find the input table or "
                               "query 'sale'.  Make sure it exists and that its name is spelled correctly.) in: DROP "
                               "TABLE sale\nnothing was changed: the statements are applied all or nothing\n");
        auto made = dexmira({"exec", file.string(), "CREATE TABLE own (id LONG)"});
        EXPECT_EQ(made.status, 0) << made.err;
        EXPECT_TRUE(readWhole(victim) == victimBytes) << "the connection reached victim.db";
    }
    // compare --product migrates a copy beside A whose folder carries A's name.
    const fs::path a = dir / ("a;Data Source=" + victim + ";x.mdb");
    fs::create_directories(a.parent_path());
    fs::copy_file(dir / "reference.mdb", a);
    auto run = dexmira({"compare", a.string(), (dir / "customer.mdb").string(), "--product", "VelmoraII"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.err, "4건의 다른곳이 발견 되었습니다.\n");
    EXPECT_TRUE(readWhole(victim) == victimBytes) << "the migration reached victim.db";
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

// Reports and fix scripts go to a fresh name beside the output: a link
// planted at <output>.part is never followed. A write that fails says the
// system's reason and leaves nothing behind.
TEST_F(Hardening, OutputsNeverFollowAPlantedLinkAndFailuresSayWhy) {
    makePair();
    const std::string a = (dir / "reference.mdb").string(), b = (dir / "customer.mdb").string();
    const fs::path victim = dir / "victim.txt";
    std::ofstream(victim) << "precious";
    for (const char* name : {"r.html", "r.csv", "fix.sql"}) {
        SCOPED_TRACE(name);
        const fs::path out = dir / name;
        fs::create_symlink(victim, dir / (std::string(name) + ".part"));
        auto r = dexmira({"compare", a, b, std::string(name) == "fix.sql" ? "--fix-sql" : "--report", out.string()});
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(readWhole(victim), "precious");
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out)));
        EXPECT_NE(readWhole(out).find(std::string(name) == "fix.sql" ? "-- Makes the primary keys" : "customer"),
                  std::string::npos);
        fs::remove(dir / (std::string(name) + ".part"));
    }

    const std::string missing = (dir / "none" / "r.html").string();
    auto noFolder = dexmira({"compare", a, b, "--report", missing});
    EXPECT_EQ(noFolder.status, 2);
    EXPECT_EQ(noFolder.err, "4건의 다른곳이 발견 되었습니다.\nThe report '" + missing +
                                "' could not be written (No such file or directory).\n");
    const std::string big = (dir / "big.html").string(), fix = (dir / "big.sql").string();
    auto full = dexmira({"compare", a, b, "--report", big}, 512);
    EXPECT_EQ(full.status, 2);
    EXPECT_EQ(full.err, "4건의 다른곳이 발견 되었습니다.\nThe report '" + big + "' could not be written (File too large).\n");
    auto fullFix = dexmira({"compare", a, b, "--fix-sql", fix}, 200);  // the error stream still fits
    EXPECT_EQ(fullFix.status, 2);
    EXPECT_EQ(fullFix.err,
              "4건의 다른곳이 발견 되었습니다.\nThe fix script '" + fix + "' could not be written (File too large).\n");
    for (const auto& e : fs::directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().rfind("big.", 0), std::string::npos) << e.path();
}

TEST_F(Hardening, CompactOfALinkCompactsItsTargetAndKeepsTheLink) {
    makePair();
    const fs::path target = dir / "reference.mdb", link = dir / "link.mdb";
    fs::create_symlink(target, link);
    auto r = dexmira({"compact", link.string(), "--yes"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(link)) << "the link was replaced by a file";
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(target)));
    EXPECT_EQ(dexmira({"structure", link.string(), "--password", "kt5316"}).status, 0);
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
    for (const auto& e : fs::directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().find("_compactTemp"), std::string::npos) << e.path();
}

}  // namespace
}  // namespace dex::test
