// The Compare button's run with the real migrator on two VelmoraII stores:
// copy B migrated on a second thread beside copy A must leave the grid, the
// messages, both copies and the migration log exactly as migrating B after A
// on one thread does.
#include "RunProgram.h"
#include "UniqueFolder.h"
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "CompareRun.h"
#include "JetStore.h"
#include "ProductMigrator.h"
#include "StoreSample.h"

using namespace dex;
namespace fs = std::filesystem;

namespace {

// A migrated store with every "YYYY-MM-DD HH:MM:SS" text blanked: steps fill
// new date columns with Now(), so two migrations differ in those bytes only.
std::string withoutTimes(const fs::path& p) {
    static const std::regex stamp("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}");
    return std::regex_replace(dex::test::readWhole(p), stamp, "####-##-## ##:##:##");
}

// The real migrator, with the twin switched off (B after A, as before) or
// on; records the thread that makes the twin. With startTogether, A's
// migration begins only once B's has been handed its twin, so that A ends
// while B's migration is under way.
class ObservedMigrator : public ProductMigrator {
public:
    ObservedMigrator(Dialogs& dialogs, fs::path logFolder, bool beside, bool startTogether)
        : ProductMigrator(dialogs, std::move(logFolder)), beside_(beside), startTogether_(startTogether) {}

    std::thread::id twinThread;

    bool migrate(const std::string& code, const std::string& path) override {
        if (startTogether_ && !waited_) {
            waited_ = true;
            // Bounded, so that a run that never makes a twin fails below instead of hanging.
            twinMade_.get_future().wait_for(std::chrono::minutes(1));
        }
        return ProductMigrator::migrate(code, path);
    }
    TwinMaker twinMaker() override {
        if (!beside_) return {};
        TwinMaker make = ProductMigrator::twinMaker();
        return [this, make](Dialogs& d, const std::string& folder, const std::atomic<bool>& abandoned) {
            twinThread = std::this_thread::get_id();
            auto twin = make(d, folder, abandoned);
            if (startTogether_) twinMade_.set_value();
            return twin;
        };
    }

private:
    bool beside_, startTogether_, waited_ = false;
    std::promise<void> twinMade_;
};

struct Outcome {
    bool finished = false;
    std::vector<std::string> messages;  // "title | text | icon", the run's and the migration's, in order
    std::string grid;                   // every cell's text and colour, hidden rows marked
    std::string copyA, copyB;           // the copies' bytes after the run, times blanked
    std::string log;                    // DB_UPDATE_LOG.log, times blanked
    std::thread::id twinThread;
};

class ParallelMigrationTest : public ::testing::Test {
protected:
    fs::path root = dex::test::makeUniqueFolder("dexmira_parallel");
    fs::path a = root / "DBS" / "dbMain.mdb", b = root / "backup" / "x.mdb";
    fs::path temp = root / "DBS" / "dbMaintemp";
    std::unique_ptr<DbEngine> engine = makeJetStoreEngine();
    int runs = 0;

    void SetUp() override {
        fs::create_directories(a.parent_path());
        fs::create_directories(b.parent_path());
    }
    void TearDown() override { fs::remove_all(root); }

    // The base schema at version 1, then the extra statements.
    void build(const fs::path& path, const std::vector<std::string>& extra) {
        dex::test::BuildStore(*engine, path, dex::test::ReadScript(dex::test::VardoBaseScript()), extra);
    }

    Outcome run(bool beside, bool startTogether = false) {
        Grid grid;
        grid.setColumnCount(23);
        RecordingDialogs dialogs;
        ProgressBar bar0, bar1;
        RecordingWindow window;
        auto loadEngine = makeJetStoreEngine();
        Workbench wb{grid, *loadEngine, dialogs, bar0, bar1, window};
        const fs::path logFolder = root / ("log" + std::to_string(++runs));
        ObservedMigrator migrator(dialogs, logFolder, beside, startTogether);

        Outcome o;
        o.finished = RunComparison(wb, {a.string(), b.string(), "vardoII"}, &migrator);
        migrator.release();
        for (const auto& m : dialogs.shown)
            o.messages.push_back(m.title + " | " + m.text + " | " + std::to_string(static_cast<int>(m.icon)));
        std::ostringstream cells;
        for (int r = 1; r <= grid.rowCount(); ++r) {
            cells << (grid.rowHidden(r) ? "hidden" : "shown");
            for (int c = 1; c <= grid.columnCount(); ++c)
                cells << " [" << grid.text(c, r).value_or("") << "/" << grid.backColor(c, r).value_or(0) << "]";
            cells << "\n";
        }
        o.grid = cells.str();
        o.copyA = withoutTimes(temp / "temp(A).mdb");
        o.copyB = withoutTimes(temp / "temp(B).mdb");
        std::ifstream log(logFolder / "DB_UPDATE_LOG.log", std::ios::binary);
        for (std::string line; std::getline(log, line);) {
            for (const char* stamp : {"시작: ", "완료: "})
                if (line.rfind(stamp, 0) == 0) line = std::string(stamp) + "\r";
            o.log += line + "\n";
        }
        o.twinThread = migrator.twinThread;
        // Nothing of the run's own is left in the temporary folder.
        std::set<std::string> left;
        for (const auto& e : fs::directory_iterator(temp)) left.insert(e.path().filename().string());
        EXPECT_EQ(left, (std::set<std::string>{".lock", "temp(A).mdb", "temp(B).mdb"}));
        return o;
    }

    static void expectSame(const Outcome& beside, const Outcome& after) {
        EXPECT_EQ(beside.finished, after.finished);
        EXPECT_EQ(beside.messages, after.messages);
        EXPECT_EQ(beside.grid, after.grid);
        EXPECT_TRUE(beside.copyA == after.copyA) << "temp(A).mdb differs";
        EXPECT_TRUE(beside.copyB == after.copyB) << "temp(B).mdb differs";
        EXPECT_EQ(beside.log, after.log);
        EXPECT_NE(beside.twinThread, std::thread::id()) << "B was not migrated on a second thread";
        EXPECT_NE(beside.twinThread, std::this_thread::get_id());
    }
};

// Both migrations show a message and write log sections of their own and
// succeed; B's are shown and logged after A's.
TEST_F(ParallelMigrationTest, BothSucceedingLeaveWhatMigratingOneAfterTheOtherLeaves) {
    // An index under a name that a later step creates: the step reports it
    // and the migration goes on.
    build(a, {"CREATE INDEX idx_pclass_fullpath ON customer(compname)"});
    build(b, {"CREATE INDEX idx_receive_deallistno ON customer(ceoname)",
              "INSERT INTO billnote (code, part, ccode, amount, expiredate) VALUES ('R2024-B', 1, '000001', 7, '2024-05-31')",
              "INSERT INTO payment (code, ocode, ccode, dealdate, amount, type, subcode) VALUES (3, 1, '000001', "
              "'2024-05-02', 7, 3, 'R2024-B')",
              "CREATE INDEX idx_customer_compname ON customer(compname)"});
    const Outcome after = run(false);
    const Outcome beside = run(true);
    expectSame(beside, after);

    EXPECT_TRUE(beside.finished);
    EXPECT_EQ(beside.messages,
              (std::vector<std::string>{
                  "Dexmira | 오류번호 : -2147217900\r\n오류내용 : Index 'idx_pclass_fullpath' already exists. | 0",
                  "Dexmira | 오류번호 : -2147217900\r\n오류내용 : Index 'idx_receive_deallistno' already exists. | 0",
                  "Dexmira | 3건의 다른곳이 발견 되었습니다. | 0"}));
    // A's two sections, then B's two (B with its extra received note).
    EXPECT_EQ(beside.log, "\r\n[받을어음update ]\r\n시작: \r\nR2024-001\r\n완료: \r\n"
                          "\r\n[지급어음update ]\r\n시작: \r\nP2024-001\r\n완료: \r\n"
                          "\r\n[받을어음update ]\r\n시작: \r\nR2024-001\r\nR2024-B\r\n완료: \r\n"
                          "\r\n[지급어음update ]\r\n시작: \r\nP2024-001\r\n완료: \r\n");
}

// B's migration fails after A's succeeded: A's message first, then B's, and
// temp(B).mdb holds what B's migration left.
TEST_F(ParallelMigrationTest, BFailingAfterASucceededIsReportedAsBefore) {
    build(a, {"CREATE INDEX idx_pclass_fullpath ON customer(compname)"});
    struct Case {
        std::vector<std::string> extra;
        std::string newPassword;
        std::string lastMessage;
    };
    const std::vector<Case> cases = {
        // The ladder stops at a table it needs.
        {{"DROP TABLE `estimate_d`"}, "",
         "Dexmira | Error -2147217865 (The database engine cannot find the input table or query 'estimate_d'.  "
         "Make sure it exists and that its name is spelled correctly.) in procedure ChkDBpatch_SUB of Module "
         "FrmDBUpdate | 0"},
        // DBOpen throws; the message names the user's B, not a copy.
        {{}, "other", "Dexmira | Error 3031 (Not a valid password for '" + b.string() +
                          "'.) in procedure cmdComp_Click of Form Form1 | 0"},
    };
    for (const Case& c : cases) {
        build(b, c.extra);
        if (!c.newPassword.empty()) setStorePassword(b.string(), "kt5316", c.newPassword);
        const Outcome after = run(false);
        const Outcome beside = run(true);
        expectSame(beside, after);
        EXPECT_FALSE(beside.finished);
        EXPECT_EQ(beside.messages,
                  (std::vector<std::string>{
                      "Dexmira | 오류번호 : -2147217900\r\n오류내용 : Index 'idx_pclass_fullpath' already exists. | 0",
                      c.lastMessage}));
        EXPECT_EQ(beside.grid, "") << "nothing was loaded";
        if (c.newPassword.empty()) {
            EXPECT_FALSE(beside.copyB == withoutTimes(b)) << "the steps before the failing one are in temp(B).mdb";
        }
    }
}

// A's migration fails while B's is under way: B's copy stays the plain copy,
// nothing of B's is shown or logged.
TEST_F(ParallelMigrationTest, AFailingWhileBMigratesDropsBsWork) {
    build(b, {"CREATE INDEX idx_receive_deallistno ON customer(ceoname)"});
    struct Case {
        std::vector<std::string> extra;
        std::string newPassword;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"DELETE FROM dbversion"}, "",
         "Dexmira | The table dbversion holds no row (dbid 'main'), so the database's schema version is unknown; "
         "no migration step was run. | 0"},
        {{}, "other",
         "Dexmira | Error 3031 (Not a valid password for '" + a.string() +
             "'.) in procedure cmdComp_Click of Form Form1 | 0"},
    };
    for (const Case& c : cases) {
        build(a, c.extra);
        if (!c.newPassword.empty()) setStorePassword(a.string(), "kt5316", c.newPassword);
        const Outcome after = run(false);
        const Outcome beside = run(true, true);
        expectSame(beside, after);
        EXPECT_FALSE(beside.finished);
        EXPECT_EQ(beside.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(dex::test::readWhole(temp / "temp(B).mdb"), dex::test::readWhole(b)) << "temp(B).mdb is not the plain copy of B";
        EXPECT_EQ(beside.log, "");
    }
}

}  // namespace
