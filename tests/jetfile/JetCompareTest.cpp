// Real Jet files through the dexmira command as a user runs it: import,
// structure, the comparison with and without a product, and the commands
// that would write a Jet file refusing.
#include <fstream>

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
    testjet::WDatabase db = testjet::fromTableDefs(tables, rowsOf);
    db.password = "kt5316";
    testjet::writeJetFile(jetPath, db);
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
