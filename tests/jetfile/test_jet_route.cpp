// migrate and exec on real Jet 4 files: a vardoII file at version 1 with
// Korean data migrated in place and compared with the store sample; a fix
// script applied to a Jet file; all or nothing; a file of another sort
// order whose new keys cannot be computed, and its rewrite in General order.
#include <gtest/gtest.h>

#include <filesystem>

#include "DbError.h"
#include "JetCheck.h"
#include "JetModel.h"
#include "JetStore.h"
#include "JetStoreRoute.h"
#include "RunProgram.h"
#include "StoreSample.h"
#include "UniqueFolder.h"

namespace dex::test {

namespace fs = std::filesystem;
using namespace dex::jetfile;

namespace {

const std::string kDexmira = DEXMIRA_BIN;
const std::string kPw = "kt5316";
const fs::path kFixtures = DEX_JET_FIXTURES;

struct Folder : test::UniqueFolder {
    Folder() : UniqueFolder("dex-jetroute") {}
};

test::ProgramResult dexmira(const std::vector<std::string>& args, const std::string& input = "") {
    return test::runProgram(kDexmira, args, input);
}

// The vardoII base schema at version 1 with Korean rows in its indexed text.
void vardoStore(const std::string& path) {
    auto engine = makeJetStoreEngine();
    dex::test::BuildStore(*engine, path, dex::test::ReadScript(dex::test::VardoBaseScript()));
    auto conn = engine->openConnection("Data Source=" + path + ";Jet OLEDB:Database Password=" + kPw);
    for (int i = 0; i < 200; ++i) {
        const std::string n = std::to_string(1000 + i);
        conn->execute("INSERT INTO customer (code, compname, ceoname) VALUES ('c" + n + "', '가나다상사 " + n +
                      "', '홍길동')");
    }
}

std::string jetOf(const Folder& dir, const std::string& store, const std::string& name) {
    const std::string out = dir.file(name);
    const auto r = dexmira({"export", store, out, "--password", kPw});
    EXPECT_EQ(r.status, 0) << r.err;
    return out;
}

}  // namespace

TEST(JetRoute, AVardoFileMigratedInPlaceMatchesTheMigratedStore) {
    Folder dir;
    const std::string store = dir.file("sample.mdb");
    vardoStore(store);
    const std::string file = jetOf(dir, store, "customer.mdb");
    const std::string before = test::readWhole(file);

    const auto m = dexmira({"migrate", file, "--product", "VelmoraII"});
    ASSERT_EQ(m.status, 0) << m.err;
    EXPECT_NE(m.err.find("the original is kept as '" + dir.file("customer.bak.mdb") + "'"), std::string::npos) << m.err;
    EXPECT_TRUE(test::readWhole(dir.file("customer.bak.mdb")) == before);
    const auto model = JetModel::open(file, kPw);
    EXPECT_TRUE(checkJetFile(*model).sound());
    EXPECT_EQ(model->header().sortOrder, 0x409);

    // Compared, with the product's ladder, against the store sample at the same version: no difference.
    const auto compare = dexmira({"compare", file, store, "--product", "VelmoraII"});
    EXPECT_EQ(compare.status, 0) << compare.out << compare.err;
    EXPECT_NE(compare.out.find("count: 0"), std::string::npos) << compare.out;

    // The migrated file has the structure of the migrated store, and the Korean rows.
    const std::string migratedStore = dir.file("migrated-store.mdb");
    fs::copy_file(store, migratedStore);
    ASSERT_EQ(dexmira({"migrate", migratedStore, "--product", "VelmoraII"}).status, 0);
    const auto a = dexmira({"structure", file, "--password", kPw});
    const auto b = dexmira({"structure", migratedStore, "--password", kPw});
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_GT(a.out.size(), 10000u);
    EXPECT_EQ(a.out, b.out);
    const auto rows = dexmira({"exec", file, "SELECT compname FROM customer WHERE code = 'c1199'"});
    EXPECT_EQ(rows.out, "compname\n가나다상사 1199\n") << rows.err;
    EXPECT_FALSE(fs::exists(dir.file("customer.bak2.mdb"))) << "queries alone leave the file as it is";

    // Once more: already at the latest version, the ladder changes nothing
    // and the file is rewritten all the same, with a second backup.
    const auto again = dexmira({"migrate", file, "--product", "VelmoraII"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(fs::exists(dir.file("customer.bak2.mdb")));
    EXPECT_TRUE(test::readWhole(dir.file("customer.bak.mdb")) == before) << "a backup is never overwritten";
}

TEST(JetRoute, AFixScriptAppliedToAJetFileLeavesNoneOfTheFixedDifferences) {
    Folder dir;
    const std::string reference = dir.file("reference.mdb");
    vardoStore(reference);
    const std::string drifted = dir.file("drifted-store.mdb");
    fs::copy_file(reference, drifted);
    const auto drift = dexmira({"exec", drifted, "--password", kPw},
                               "CREATE INDEX idx_customer_compname ON customer(compname)\n"
                               "CREATE INDEX idx_customer_ceo ON customer(ceoname)\n");
    ASSERT_EQ(drift.status, 0) << drift.err;
    const std::string file = jetOf(dir, drifted, "customer.mdb");

    const std::string fix = dir.file("fix.sql");
    const auto first = dexmira({"compare", reference, file, "--fix-sql", fix, "--fix-target", "B"});
    EXPECT_EQ(first.status, 1);
    EXPECT_NE(first.out.find("customer.compname [...]  !  customer.compname [..I]"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("count: 2"), std::string::npos) << first.out;
    const std::string script = test::readWhole(fix);
    EXPECT_NE(script.find("DROP INDEX [idx_customer_compname] ON [customer]"), std::string::npos) << script;

    const auto applied = dexmira({"exec", file}, script);
    ASSERT_EQ(applied.status, 0) << applied.err;
    const auto after = dexmira({"compare", reference, file});
    EXPECT_EQ(after.status, 0) << after.out;
    EXPECT_NE(after.out.find("count: 0"), std::string::npos) << after.out;
    EXPECT_TRUE(checkJetFile(*JetModel::open(file, kPw)).sound());
}

TEST(JetRoute, ExecIsAllOrNothingAndNewKeysOfAnotherSortOrderAreRefused) {
    Folder dir;
    const std::string store = dir.file("s.mdb");
    vardoStore(store);
    const std::string file = jetOf(dir, store, "shop.mdb");
    const std::string before = test::readWhole(file);
    const auto failed = dexmira({"exec", file, "DELETE FROM customer", "INSERT INTO nosuchtable VALUES (1)"});
    EXPECT_EQ(failed.status, 2);
    EXPECT_NE(failed.err.find("nothing was changed"), std::string::npos) << failed.err;
    EXPECT_TRUE(test::readWhole(file) == before);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"s.mdb", "shop.mdb"}));

    const fs::path source = kFixtures / "npm-node-adodb.mdb";
    if (!fs::exists(source)) GTEST_SKIP() << source << " is absent";
    const std::string adodb = dir.file("adodb.mdb");
    fs::copy_file(source, adodb);
    const std::string original = test::readWhole(adodb);
    // Rows changed, no new text key: the old keys are carried over.
    const auto update = dexmira({"exec", adodb, "UPDATE Users SET UserMarried = 0"});
    ASSERT_EQ(update.status, 0) << update.err;
    EXPECT_EQ(JetModel::open(adodb, "")->header().sortOrder, 0x804);
    EXPECT_TRUE(checkJetFile(*JetModel::open(adodb, "")).sound());
    fs::remove(adodb);
    fs::rename(dir.file("adodb.bak.mdb"), adodb);
    // A new text index in sort order 0x804: its keys cannot be computed.
    const auto index = dexmira({"exec", adodb, "CREATE INDEX ix_name ON Users (UserName)"});
    EXPECT_EQ(index.status, 2);
    EXPECT_NE(index.err.find("index 'ix_name'"), std::string::npos) << index.err;
    EXPECT_NE(index.err.find("--sort-order general"), std::string::npos) << index.err;
    EXPECT_NE(index.err.find("The file was left unchanged."), std::string::npos) << index.err;
    EXPECT_TRUE(test::readWhole(adodb) == original);

    // Rewritten in the General order, every key (the catalogue's too) is
    // computed, and the log says so. (The new index is over dates: the
    // Chinese names and sexes of its rows have no established General code,
    // so an index over them could not be made in either order.)
    std::vector<std::string> said;
    JetRouteOptions options;
    options.passwords = {""};
    options.generalSortOrder = true;
    options.log = [&](const std::string& line) { said.push_back(line); };
    JetRouteOutcome done;
    try {
        done = changeJetFileThroughStore(adodb, options, [](const std::string& s, const std::string& pw) {
            auto engine = makeJetStoreEngine();
            engine->openConnection("Data Source=" + s + (pw.empty() ? "" : ";Jet OLEDB:Database Password=" + pw))
                ->execute("CREATE INDEX ix_born ON Users (UserBirthday)");
            return true;
        });
    } catch (const DbError& e) {
        FAIL() << e.description();
    }
    ASSERT_TRUE(done.changed);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("General sort order (0x409) instead of its own (0x804)"), std::string::npos) << said[0];
    const auto model = JetModel::open(adodb, "");
    EXPECT_EQ(model->header().sortOrder, 0x409);
    const JetCheckReport report = checkJetFile(*model);
    EXPECT_TRUE(report.sound());
    EXPECT_TRUE(report.notes.empty()) << report.notes.front();
    EXPECT_TRUE(test::readWhole(done.backup) == original);
}

}  // namespace dex::test
