// The vardoII ladder on real stores built from the sample base schema.
#include "UniqueFolder.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "JetStore.h"
#include "StepFingerprint.h"
#include "StoreSample.h"
#include "modDBPatch_VARDO.h"
#include "modDBsub.h"
#include "modDBsub_ADO.h"

using namespace dex;
using namespace dex::migration;
namespace fs = std::filesystem;

namespace {

class VardoLadderTest : public ::testing::Test {
protected:
    std::unique_ptr<DbEngine> engine = makeJetStoreEngine();
    RecordingDialogs dialogs;
    DbSession session{*engine, dialogs};
    fs::path dir;
    fs::path db;
    std::unique_ptr<MigrationLog> log;
    std::vector<std::string> trace;  // the statements of the last migrate()
    bool tracing = false;

    void SetUp() override {
        dir = dex::test::makeUniqueFolder("dexmira-ladder-" +
                                          std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        db = dir / "vardo.mdb";
        log = std::make_unique<MigrationLog>(dir / "log");
        session.setTrace([this](const std::string& s) {
            if (tracing) trace.push_back(s);
        });
    }
    void TearDown() override { fs::remove_all(dir); }

    void build(const std::vector<std::string>& extra = {}) {
        dex::test::BuildStore(*engine, db, dex::test::ReadScript(dex::test::VardoBaseScript()), extra);
        modDBsub::DBOpen(session, db.string(), "kt5316");
    }
    bool migrate() {
        MigrationContext ctx{session, *log};
        trace.clear();
        tracing = true;
        bool ok = modDBPatch_VARDO::ChkDBpatch(ctx);
        tracing = false;
        return ok;
    }
    // Brings the sample to stored version n with the ladder's own steps up to n.
    void prepareAt(int n) {
        build();
        Catalogue upTo = modDBPatch_VARDO::Catalogue();
        upTo.target = static_cast<int16_t>(n);
        upTo.steps.erase(std::remove_if(upTo.steps.begin(), upTo.steps.end(),
                                        [n](const Step& s) { return s.number > n; }),
                         upTo.steps.end());
        MigrationContext ctx{session, *log};
        ASSERT_TRUE(migration::ChkDBpatch(ctx, upTo));
        ASSERT_TRUE(dialogs.shown.empty()) << dialogs.shown[0].text;
        ASSERT_EQ(version(), n);
    }
    std::string text(const std::string& sql) { return modDBsub::FieldText(modDBsub::DBQuery(session, sql)); }
    int version() { return std::stoi(text("SELECT ver FROM dbversion WHERE dbid='main'")); }
    std::string messages() const {
        std::string all;
        for (const auto& m : dialogs.shown) all += m.text + "\n";
        return all;
    }
    bool traced(const std::string& sql) const { return std::find(trace.begin(), trace.end(), sql) != trace.end(); }

    std::vector<int> stepsRun() const {
        const Catalogue& c = modDBPatch_VARDO::Catalogue();
        std::vector<int> ran;
        for (const Step& s : c.steps)
            if (traced(dex::test::FirstStatement(c, s.ops))) ran.push_back(s.number);
        return ran;
    }
};

TEST_F(VardoLadderTest, StepFingerprintsAreDistinct) {
    const Catalogue& c = modDBPatch_VARDO::Catalogue();
    std::set<std::string> seen;
    for (const Step& s : c.steps) EXPECT_TRUE(seen.insert(dex::test::FirstStatement(c, s.ops)).second) << s.number;
}

TEST_F(VardoLadderTest, FullLadderFromVersion1WithoutAnyMessage) {
    build();
    ASSERT_TRUE(migrate()) << messages();
    EXPECT_TRUE(dialogs.shown.empty()) << messages();
    EXPECT_EQ(version(), 141);
    EXPECT_EQ(trace.back(), "UPDATE dbversion SET ver = 141 WHERE dbid = 'main'");

    std::vector<int> all;
    for (const Step& s : modDBPatch_VARDO::Catalogue().steps)
        if (s.number != 13 && s.number != 15) all.push_back(s.number);
    EXPECT_EQ(stepsRun(), all);

    // The data repairs did their work.
    EXPECT_EQ(text("SELECT COUNT(*) FROM office_store"), "4");
    EXPECT_EQ(text("SELECT COUNT(*) FROM pclass WHERE code IN ('0003','0004')"), "2");
    EXPECT_EQ(text("SELECT name FROM pclass WHERE code = '0004'"), "기본 중분류");
    EXPECT_EQ(text("SELECT fullpath FROM pclass WHERE code = '0001'"), "01010001");
    EXPECT_EQ(text("SELECT COUNT(*) FROM billnote WHERE outtype = 2"), "2");
    EXPECT_EQ(text("SELECT outbigo FROM billnote WHERE code = 'R2024-001'"), "한빛");
    EXPECT_EQ(text("SELECT COUNT(*) FROM holiday1_m"), "11");
    EXPECT_EQ(text("SELECT loginpwd2 FROM local_user WHERE code = '00'"), "admin00");
    EXPECT_EQ(text("SELECT parentseq FROM ordbook_d WHERE code = 1 AND seq = 2"), "2");
    EXPECT_TRUE(fs::exists(log->filePath()));

    // A second call finds the target and sends nothing but the version read.
    ASSERT_TRUE(migrate());
    EXPECT_EQ(trace, (std::vector<std::string>{"SELECT ver FROM dbversion WHERE dbid='main'"}));
}

struct FromVersion {
    int stored;
    std::vector<int> steps;
};

std::vector<int> range(int from, int to) {
    std::vector<int> v;
    for (int n = from; n <= to; ++n)
        if (n != 136 && n != 137) v.push_back(n);
    return v;
}

TEST_F(VardoLadderTest, RunsFromIntermediateVersionsRunExactlyTheirSteps) {
    std::vector<FromVersion> cases;
    {
        std::vector<int> s = range(10, 141);  // 9: step 12 but not 13, not 15
        s.erase(std::remove_if(s.begin(), s.end(), [](int n) { return n == 13 || n == 15; }), s.end());
        cases.push_back({9, s});
    }
    {
        std::vector<int> s = range(13, 141);  // 12: step 13 (not 12), and 15
        cases.push_back({12, s});
    }
    cases.push_back({14, range(15, 141)});
    cases.push_back({135, range(138, 141)});
    cases.push_back({140, {141}});
    for (const auto& c : cases) {
        SCOPED_TRACE("stored version " + std::to_string(c.stored));
        prepareAt(c.stored);
        ASSERT_TRUE(migrate()) << messages();
        EXPECT_TRUE(dialogs.shown.empty()) << messages();
        EXPECT_EQ(stepsRun(), c.steps);
        EXPECT_EQ(version(), 141);
        if (c.stored == 9) {
            EXPECT_FALSE(traced("ALTER TABLE `aslist`  ALTER COLUMN `asmemo` TEXT DEFAULT \"\" NOT NULL"));
            EXPECT_FALSE(traced("SELECT startdate FROM constrt"));
        }
        if (c.stored == 12) {
            EXPECT_TRUE(traced("ALTER TABLE `aslist`  ALTER COLUMN `asmemo` TEXT DEFAULT \"\" NOT NULL"));
        }
        if (c.stored == 14) {
            EXPECT_TRUE(traced("SELECT startdate FROM constrt"));
        }
    }
}

TEST_F(VardoLadderTest, FailingStepEndsTheLadderAndARerunRepeatsTheStepsAbove) {
    build({"DROP TABLE `estimate_d`"});
    EXPECT_FALSE(migrate());
    ASSERT_EQ(dialogs.shown.size(), 1u) << messages();
    const std::string& msg = dialogs.shown[0].text;
    EXPECT_EQ(msg.rfind("Error -2147217865 (", 0), 0u) << msg;
    EXPECT_NE(msg.find(") in procedure ChkDBpatch_SUB of Module FrmDBUpdate"), std::string::npos) << msg;
    EXPECT_EQ(version(), 1);
    // Steps below 26 stay applied; nothing after the failing operation ran.
    EXPECT_EQ(text("SELECT COUNT(*) FROM salehold"), "0");
    EXPECT_EQ(text("SELECT ordbook_d.dealdate FROM ordbook_d WHERE seq = 1"), "");
    EXPECT_FALSE(traced("SELECT gcode FROM ordbook_m"));
    EXPECT_NE(trace.back().find("`estimate_d`"), std::string::npos);

    // The table comes back; the re-run starts again at step 2: the columns of
    // step 2 exist and are skipped, step 3 creates invn_move a second time
    // and fails there.
    std::string create =
        "CREATE TABLE `estimate_d` (`code` LONG DEFAULT 0 NOT NULL, `seq` SMALLINT DEFAULT 1 NOT NULL, "
        "PRIMARY KEY (`code`, `seq`))";
    modDBsub::DBExecute(session, create);
    dialogs.shown.clear();
    EXPECT_FALSE(migrate());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_NE(dialogs.shown[0].text.find("ChkDBpatch_SUB of Module FrmDBUpdate"), std::string::npos);
    EXPECT_TRUE(traced("SELECT boxqnt FROM sale"));
    for (const auto& s : trace) EXPECT_EQ(s.find("ADD COLUMN `boxqnt`"), std::string::npos) << s;
    EXPECT_NE(trace.back().find("CREATE TABLE `invn_move`"), std::string::npos);
    EXPECT_EQ(version(), 1);
}

TEST_F(VardoLadderTest, BillNoteRepairWithTwoPaymentsAndAnApostrophe) {
    build({"UPDATE customer SET compalias = 'O''Neil' WHERE code = '000001'",
           "INSERT INTO payment (code, ocode, ccode, dealdate, amount, type, subcode) VALUES "
           "(3, 1, '000001', '2024-02-20', 0, 3, 'R2024-001')"});
    ASSERT_TRUE(migrate()) << messages();
    EXPECT_TRUE(dialogs.shown.empty()) << messages();
    EXPECT_EQ(text("SELECT outbigo FROM billnote WHERE code = 'R2024-001'"), "O'Neil");
    EXPECT_EQ(text("SELECT outtype FROM billnote WHERE code = 'R2024-001'"), "2");
    EXPECT_TRUE(traced("UPDATE billnote SET outtype = 2,outdate = '2024-02-01',outbigo = 'O''Neil' WHERE code = "
                       "'R2024-001'"));

    std::ifstream f(log->filePath(), std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    std::string body = ss.str();
    size_t recv = body.find("\r\n[받을어음update ]\r\n시작: ");
    size_t paid = body.find("\r\n[지급어음update ]\r\n시작: ");
    ASSERT_NE(recv, std::string::npos) << body;
    ASSERT_NE(paid, std::string::npos) << body;
    std::string received = body.substr(recv, paid - recv);
    size_t first = received.find("\r\nR2024-001\r\n");
    ASSERT_NE(first, std::string::npos) << received;
    EXPECT_NE(received.find("\r\nR2024-001\r\n", first + 1), std::string::npos) << "listed twice";
    EXPECT_NE(received.find("\r\n완료: "), std::string::npos);
    std::string paidPart = body.substr(paid);
    EXPECT_NE(paidPart.find("\r\nP2024-001\r\n완료: "), std::string::npos) << paidPart;
}

}  // namespace
