#pragma once
// A fixture that runs a product's catalogue on a real store built from the
// product's sample base schema, tracing every statement, and tells from the
// trace which steps ran.
#include "UniqueFolder.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "JetStore.h"
#include "ProductCatalogues.h"
#include "StepFingerprint.h"
#include "StoreSample.h"
#include "modDBsub.h"
#include "modDBsub_ADO.h"

namespace dex::test {

class ProductLadderTest : public ::testing::Test {
protected:
    std::unique_ptr<DbEngine> engine = makeJetStoreEngine();
    RecordingDialogs dialogs;
    DbSession session{*engine, dialogs};
    std::filesystem::path dir;
    std::filesystem::path db;
    std::unique_ptr<migration::MigrationLog> log;
    std::string code;
    std::vector<std::string> trace;  // the statements of the last migrate()
    bool tracing = false;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = dex::test::makeUniqueFolder("dexmira-product-ladder-" + std::string(info->test_suite_name()) + "-" +
                                          info->name());
        log = std::make_unique<migration::MigrationLog>(dir / "log");
        session.setTrace([this](const std::string& s) {
            if (tracing) trace.push_back(s);
        });
    }
    void TearDown() override {
        session.closeConnection();
        std::filesystem::remove_all(dir);
    }

    const migration::Catalogue& catalogue() const { return *migration::CatalogueFor(code); }

    // The product's sample at stored version 1, with extra statements after.
    void build(const std::string& productCode, const std::vector<std::string>& extra = {}) {
        code = productCode;
        db = dir / (productCode + ".mdb");
        BuildStore(*engine, db, ReadScript(BaseScript(productCode)), extra);
        modDBsub::DBOpen(session, db.string(), "kt5316");
    }
    bool migrate() {
        migration::MigrationContext ctx{session, *log};
        trace.clear();
        tracing = true;
        bool ok = migration::ChkDBpatchFor(code, ctx);
        tracing = false;
        return ok;
    }
    // Brings the sample to stored version n with the catalogue's own steps up to n.
    void prepareAt(const std::string& productCode, int n) {
        build(productCode);
        migration::Catalogue upTo = catalogue();
        upTo.target = static_cast<int16_t>(n);
        upTo.steps.erase(std::remove_if(upTo.steps.begin(), upTo.steps.end(),
                                        [n](const migration::Step& s) { return s.number > n; }),
                         upTo.steps.end());
        migration::MigrationContext ctx{session, *log};
        ASSERT_TRUE(migration::ChkDBpatch(ctx, upTo));
        ASSERT_TRUE(dialogs.shown.empty()) << messages();
        ASSERT_EQ(version(), n);
    }

    std::string text(const std::string& sql) { return modDBsub::FieldText(modDBsub::DBQuery(session, sql)); }
    int version() { return std::stoi(text("SELECT ver FROM dbversion WHERE dbid='main'")); }
    void setVersion(int v) {
        std::string sql = "UPDATE dbversion SET ver = " + std::to_string(v) + " WHERE dbid = 'main'";
        modDBsub::DBExecute(session, sql);
    }
    std::string messages() const {
        std::string all;
        for (const auto& m : dialogs.shown) all += m.text + "\n";
        return all;
    }
    bool traced(const std::string& sql) const { return std::find(trace.begin(), trace.end(), sql) != trace.end(); }
    long position(const std::string& sql) const {
        auto it = std::find(trace.begin(), trace.end(), sql);
        return it == trace.end() ? -1 : static_cast<long>(it - trace.begin());
    }
    bool tracedStartingWith(const std::string& prefix) const {
        return std::any_of(trace.begin(), trace.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; });
    }

    // The structure of one table, read through the DAO side.
    TableDef table(const std::string& name) {
        auto dao = engine->openDatabase(db.string(), 0, true, ";pwd=kt5316");
        for (TableDef& t : dao->tableDefs())
            if (t.name == name) return t;
        ADD_FAILURE() << "no table " << name;
        return {};
    }
    static const FieldDef* field(const TableDef& t, const std::string& name) {
        for (const FieldDef& f : t.fields)
            if (f.name == name) return &f;
        return nullptr;
    }
    static const IndexDef* index(const TableDef& t, const std::string& name) {
        for (const IndexDef& i : t.indexes)
            if (i.name == name) return &i;
        return nullptr;
    }

    std::vector<int> stepsRun() const {
        std::vector<int> ran;
        for (const migration::Step& s : catalogue().steps)
            if (traced(dex::test::FirstStatement(catalogue(), s.ops))) ran.push_back(s.number);
        return ran;
    }
    // Every step number of the catalogue from `from` on, except those listed.
    std::vector<int> stepsFrom(int from, std::vector<int> except = {}) const {
        std::vector<int> out;
        for (const migration::Step& s : catalogue().steps)
            if (s.number >= from && std::find(except.begin(), except.end(), s.number) == except.end())
                out.push_back(s.number);
        return out;
    }
};

}  // namespace dex::test
