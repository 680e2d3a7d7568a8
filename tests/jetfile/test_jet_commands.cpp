// Real Jet files through the dexmira command as a user runs it: import,
// structure, the comparison with and without a product, and the commands
// that would write a Jet file refusing.
#include <fstream>

#include "InterruptImport.h"
#include "JetDamage.h"
#include "JetStore.h"
#include "JetTestSupport.h"
#include "JetWriter.h"
#include "RunProgram.h"
#include "modDBsub.h"

namespace dex::test {
namespace {

ProgramResult dexmira(const std::vector<std::string>& args) { return runProgram(DEXMIRA_BIN, args); }

// The vardoII base schema at version 1 with its seed rows, as a store made
// from the sample script and as a Jet 4 file holding the same tables and rows.
void makeVardoPair(const std::string& storePath, const std::string& jetPath) {
    auto engine = makeJetStoreEngine();
    createStore(storePath, "kt5316");
    {
        auto conn = engine->openConnection(modDBsub::ConnectionString(storePath, "kt5316"));
        std::ifstream script(fs::path(DEX_SAMPLES_DIR) / "vardoII" / "base.sql");
        for (std::string line; std::getline(script, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.find_first_not_of(" \t") == std::string::npos || line.rfind("--", 0) == 0) continue;
            conn->execute(line);
        }
    }
    std::vector<TableDef> tables;
    for (auto& t : engine->openDatabase(storePath, 0, true, ";pwd=kt5316")->tableDefs())
        if (t.name.rfind("MSys", 0) != 0) tables.push_back(t);
    auto rowsOf = [&](const std::string& table) { return allRows(*engine, storePath, "kt5316", table); };
    dex::test::WDatabase db = dex::test::fromTableDefs(tables, rowsOf);
    db.password = "kt5316";
    dex::test::writeJetFile(jetPath, db);
}

TEST(JetCommands, ImportAndStructureOfAFixture) {
    DEX_REQUIRE_FIXTURE(file, "npm-mdb_fruit.mdb");
    TempFolder tmp;
    const std::string before = readWhole(file);
    ProgramResult imported = dexmira({"import", file, tmp / "fruit.mdb"});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_NE(imported.err.find("] Fruit: "), std::string::npos) << imported.err;
    EXPECT_NE(imported.err.find("imported '"), std::string::npos) << imported.err;

    ProgramResult jet = dexmira({"structure", file});
    ProgramResult store = dexmira({"structure", tmp / "fruit.mdb"});
    ASSERT_EQ(jet.status, 0) << jet.err;
    EXPECT_FALSE(jet.out.empty());
    EXPECT_EQ(jet.out, store.out) << "every row the structure prints is the same after the import";

    ProgramResult again = dexmira({"import", file, tmp / "fruit.mdb"});
    EXPECT_EQ(again.status, 2) << "an existing store is never overwritten";
    EXPECT_NE(again.err.find("already exists"), std::string::npos) << again.err;

    ProgramResult migrate = dexmira({"migrate", file, "--product", "VelmoraII"});
    EXPECT_EQ(migrate.status, 2);
    EXPECT_NE(migrate.err.find("import it into a store first"), std::string::npos) << migrate.err;

    ProgramResult write = dexmira({"exec", file, "DELETE FROM Fruit"});
    EXPECT_EQ(write.status, 2);
    EXPECT_NE(write.err.find("3027"), std::string::npos) << write.err;
    EXPECT_TRUE(readWhole(file) == before) << "nothing ever writes a Jet file";
}

// A Jet file whose import takes a while: 60,000 rows.
std::string writeLargeJet(const TempFolder& tmp) {
    dex::test::WDatabase db;
    db.tables = {dex::test::labelTable("big", 60000)};
    const std::string path = tmp / "large.mdb";
    dex::test::writeJetFile(path, db);
    return path;
}

TEST(JetCommands, AnInterruptedImportLeavesNothingAtStore) {
    TempFolder tmp;
    const std::string jet = writeLargeJet(tmp);
    const fs::path store = tmp / "store.mdb";
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(sig));
        const int status = interruptImport(DEXMIRA_BIN, jet, store, sig);
        ASSERT_NE(status, -1) << "the import could not be interrupted";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        EXPECT_FALSE(fs::exists(fs::symlink_status(store)));
        EXPECT_TRUE(importLeftovers(store).empty());
    }
    // SIGKILL leaves the private file, which is no store: STORE stays free,
    // and the next import into it removes the leftover.
    ASSERT_NE(interruptImport(DEXMIRA_BIN, jet, store, SIGKILL), -1);
    EXPECT_FALSE(fs::exists(fs::symlink_status(store)));
    ASSERT_FALSE(importLeftovers(store).empty());
    ProgramResult structure = dexmira({"structure", store.string()});
    EXPECT_EQ(structure.status, 2);
    ProgramResult again = dexmira({"import", jet, store.string()});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(importLeftovers(store).empty());
    EXPECT_EQ(dexmira({"exec", store.string(), "SELECT COUNT(*) FROM big"}).out, "COUNT(*)\n60000\n");

    // A dangling link at STORE is refused like an existing file, and its target is not made.
    const fs::path link = tmp / "link.mdb";
    fs::create_symlink(tmp / "target.mdb", link);
    ProgramResult refused = dexmira({"import", jet, link.string()});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("already exists"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(tmp / "target.mdb"));
}

// A file cut to 6 of its 72 pages is no empty database: reading it fails, and
// a comparison with the whole file fails instead of finding them equal.
TEST(JetCommands, ATruncatedFileFailsItsComparison) {
    DEX_REQUIRE_FIXTURE(file, "jackcess_indexTestV2000.mdb");
    TempFolder tmp;
    const std::string cut = tmp / "cut.mdb";
    fs::copy_file(file, cut);
    fs::resize_file(cut, 6 * 4096);
    ProgramResult structure = dexmira({"structure", cut});
    EXPECT_EQ(structure.status, 2);
    EXPECT_NE(structure.err.find("the file is damaged"), std::string::npos) << structure.err;
    ProgramResult compare = dexmira({"compare", cut, file});
    EXPECT_EQ(compare.status, 2) << compare.out << compare.err;
    EXPECT_EQ(compare.err.find("두 DB의 구조가 일치 합니다."), std::string::npos) << compare.err;
    EXPECT_NE(compare.err.find(cut), std::string::npos) << compare.err;
    ProgramResult imported = dexmira({"import", cut, tmp / "cut-store.mdb"});
    EXPECT_EQ(imported.status, 2);
    EXPECT_FALSE(fs::exists(tmp / "cut-store.mdb"));
}

TEST(JetCommands, CheckSaysSoundProblemsOrUnreadable) {
    TempFolder tmp;
    const std::string jet = writeLargeJet(tmp);
    ProgramResult sound = dexmira({"check", jet});
    EXPECT_EQ(sound.status, 0) << sound.out << sound.err;
    EXPECT_NE(sound.out.find("sound: " + jet + " ("), std::string::npos) << sound.out;

    // The definition's row count (offset 16 of its page) one short.
    std::string bytes = readWhole(jet);
    const uint32_t tdef = dex::test::tableDefPageOf(bytes, "big");
    bytes[tdef * 4096 + 16] = static_cast<char>(bytes[tdef * 4096 + 16] - 1);
    const std::string wrong = tmp / "wrong.mdb";
    std::ofstream(wrong, std::ios::binary) << bytes;
    ProgramResult bad = dexmira({"check", wrong});
    EXPECT_EQ(bad.status, 1) << bad.out << bad.err;
    EXPECT_NE(bad.out.find("table 'big', page " + std::to_string(tdef) +
                           ": the definition counts 59999 rows, its pages hold 60000\n"),
              std::string::npos) << bad.out;
    ProgramResult json = dexmira({"check", wrong, "--json"});
    EXPECT_EQ(json.status, 1);
    EXPECT_NE(json.out.find("\"sound\": false"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("{\"table\": \"big\", \"index\": \"\", \"page\": " + std::to_string(tdef) +
                            ", \"what\": \"the definition counts 59999 rows, its pages hold 60000\"}"),
              std::string::npos) << json.out;

    const std::string text = tmp / "notes.mdb";
    std::ofstream(text) << "a shopping list, long enough to be taken for anything but a database\n";
    ProgramResult unreadable = dexmira({"check", text});
    EXPECT_EQ(unreadable.status, 2);
    EXPECT_NE(unreadable.err.find("Error 3343 (Unrecognized database format '" + text + "'.)"), std::string::npos)
        << unreadable.err;
    EXPECT_EQ(dexmira({"check"}).status, 2);
    ProgramResult help = dexmira({"help", "check"});
    EXPECT_NE(help.out.find("usage: dexmira check FILE [--password PW] [--json]"), std::string::npos) << help.out;
    EXPECT_NE(dexmira({"--help"}).out.find("dexmira check FILE"), std::string::npos);
}

TEST(JetCommands, ComparisonsWithProductOfJetFilesAndStores) {
    TempFolder tmp;
    const std::string store = tmp / "store.mdb", jetA = tmp / "jetA.mdb", jetB = tmp / "jetB.mdb";
    makeVardoPair(store, jetA);
    fs::copy_file(jetA, jetB);
    const std::string jetBytes = readWhole(jetA);

    ProgramResult plain = dexmira({"compare", jetA, store});
    EXPECT_EQ(plain.status, 0) << plain.out << plain.err;
    EXPECT_EQ(plain.err, "두 DB의 구조가 일치 합니다.\n");

    ProgramResult mixed = dexmira({"compare", jetA, store, "--product", "VelmoraII"});
    EXPECT_EQ(mixed.status, 0) << mixed.out << mixed.err;
    EXPECT_EQ(mixed.err, "두 DB의 구조가 일치 합니다.\n");
    ProgramResult version = dexmira({"exec", tmp / "jetAtemp/temp(A).mdb", "--password", "kt5316",
                                "UPDATE dbversion SET ver = ver WHERE dbid = 'main' AND ver = 141"});
    EXPECT_EQ(version.out, "1\n") << "the imported copy was migrated to version 141: " << version.err;

    ProgramResult both = dexmira({"compare", jetA, jetB, "--product", "VelmoraII"});
    EXPECT_EQ(both.status, 0) << both.out << both.err;
    EXPECT_TRUE(readWhole(jetA) == jetBytes);
    EXPECT_TRUE(readWhole(jetB) == jetBytes);
    EXPECT_FALSE(fs::exists(tmp / "jetAtemp/temp(A).mdb.part"));
}

}  // namespace
}  // namespace dex::test
