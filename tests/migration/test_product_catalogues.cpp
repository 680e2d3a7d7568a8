// The shapes of the FornII, FornPro and quickbilII catalogues and how they
// share vardoII's steps and sub-procedures, without touching vardoII's own.
#include <gtest/gtest.h>

#include <set>

#include "ProductCatalogues.h"
#include "modDBPatch_FORN.h"
#include "modDBPatch_FORNPRO.h"
#include "modDBPatch_QB.h"
#include "modDBPatch_VARDO.h"

using namespace dex;
using namespace dex::migration;

namespace {

std::vector<int> numbers(const Catalogue& c) {
    std::vector<int> out;
    for (const Step& s : c.steps) out.push_back(s.number);
    return out;
}

std::vector<int> span(int from, int to, std::set<int> except = {}) {
    std::vector<int> out;
    for (int n = from; n <= to; ++n)
        if (!except.count(n)) out.push_back(n);
    return out;
}

// Every sub-procedure exists, is called from exactly one step, and nothing
// else is in the module.
void expectEachProcedureCalledOnce(const Catalogue& c, size_t count) {
    std::multiset<std::string> calls;
    for (const Step& s : c.steps)
        for (const Operation& op : s.ops)
            if (auto* call = std::get_if<CallOp>(&op)) calls.insert(call->procedure);
    EXPECT_EQ(c.procedures.size(), count);
    EXPECT_EQ(calls.size(), count);
    for (const auto& [name, proc] : c.procedures) EXPECT_EQ(calls.count(name), 1u) << name;
}

std::vector<AddForeignKeyOp> foreignKeys(const std::vector<Operation>& ops) {
    std::vector<AddForeignKeyOp> out;
    for (const Operation& op : ops)
        if (auto* fk = std::get_if<AddForeignKeyOp>(&op)) out.push_back(*fk);
    return out;
}

std::vector<std::string> statements(const std::vector<Operation>& ops) {
    std::vector<std::string> out;
    for (const Operation& op : ops)
        if (auto* e = std::get_if<ExecuteOp>(&op)) out.push_back(e->sql);
    return out;
}

TEST(ProductCatalogues, EveryProductHasItsCatalogue) {
    struct Entry {
        const char* name;
        const char* code;
        int target;
    };
    for (const Entry& e : {Entry{"VelmoraII", "vardoII", 141}, Entry{"VelmoraLite", "vardoII", 141},
                           Entry{"QuensaII", "FornII", 135}, Entry{"QuensaPro", "FornPro", 70},
                           Entry{"TallyvoII", "quickbilII", 14}}) {
        EXPECT_EQ(ProductCodeFor(e.name), e.code);
        EXPECT_EQ(ProductCodeFor(e.code), e.code);
        const Catalogue* c = CatalogueFor(e.code);
        ASSERT_NE(c, nullptr) << e.code;
        EXPECT_EQ(c->productCode, e.code);
        EXPECT_EQ(c->target, e.target);
    }
    EXPECT_EQ(CatalogueFor(ProductCodeFor("VelmoraII")), CatalogueFor(ProductCodeFor("VelmoraLite")));
    EXPECT_EQ(CatalogueFor("quensaii"), nullptr);
}

TEST(FornCatalogue, StepsKindsAndSubProcedures) {
    const Catalogue& c = modDBPatch_FORN::Catalogue();
    EXPECT_EQ(c.target, 135);
    EXPECT_FALSE(c.ladderHandler);
    EXPECT_EQ(numbers(c), span(2, 135));
    for (const Step& s : c.steps) {
        if (s.number == 11) EXPECT_EQ(s.kind, StepKind::ElseIf);
        else if (s.number == 13) EXPECT_EQ(s.kind, StepKind::Range);
        else EXPECT_EQ(s.kind, StepKind::Plain) << s.number;
    }
    EXPECT_EQ(c.step(13)->lo, 8);
    EXPECT_EQ(c.step(13)->hi, 12);
    expectEachProcedureCalledOnce(c, 48);
    EXPECT_EQ(c.procedure("CreateTBL_invn_move"), nullptr);
    EXPECT_EQ(c.procedure("CreateTBL_makelist"), nullptr);
    size_t handled = 0;
    for (const auto& [name, p] : c.procedures) handled += p.ownHandler;
    EXPECT_EQ(handled, 3u);
    EXPECT_TRUE(c.procedure("BillNoteSubRtn")->ownHandler);
}

TEST(FornCatalogue, VariantsDifferOnlyWhereTheyShould) {
    const Catalogue& forn = modDBPatch_FORN::Catalogue();
    const Catalogue& vardo = modDBPatch_VARDO::Catalogue();
    for (const char* name : {"CreateTBL_delcar", "CreateTBL_pclsdc", "CreateTBL_qltydc"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(statements(forn.procedure(name)->ops), statements(vardo.procedure(name)->ops));
        auto fornKeys = foreignKeys(forn.procedure(name)->ops);
        auto vardoKeys = foreignKeys(vardo.procedure(name)->ops);
        ASSERT_EQ(fornKeys.size(), vardoKeys.size());
        ASSERT_FALSE(fornKeys.empty());
        for (size_t i = 0; i < fornKeys.size(); ++i) {
            EXPECT_EQ(fornKeys[i].name, vardoKeys[i].name);
            EXPECT_EQ(fornKeys[i].flags, 1);
            EXPECT_EQ(vardoKeys[i].flags, 3) << "vardoII's copy is unchanged";
        }
    }
    auto fornTax = statements(forn.procedure("CreateTBL_sale_h_tax")->ops);
    auto vardoTax = statements(vardo.procedure("CreateTBL_sale_h_tax")->ops);
    ASSERT_EQ(vardoTax.size(), 24u);
    vardoTax.erase(vardoTax.begin() + 23);
    vardoTax.erase(vardoTax.begin() + 21);
    EXPECT_EQ(fornTax, vardoTax);

    // The changed step 4 differs from vardoII's step 6 only in its flags.
    auto keys4 = foreignKeys(forn.step(4)->ops);
    ASSERT_EQ(keys4.size(), 1u);
    EXPECT_EQ(keys4[0].flags, 1);
    EXPECT_EQ(foreignKeys(vardo.step(6)->ops)[0].flags, 3);
    // Step 9 leaves estimate_m.bigo alone; step 100 adds usesmartphone as SMALLINT.
    EXPECT_EQ(forn.step(9)->ops.size(), 2u);
    EXPECT_EQ(std::get<AddColumnOp>(forn.step(100)->ops[3]).type, 1);
    EXPECT_EQ(std::get<AddColumnOp>(vardo.step(104)->ops[3]).type, 7);
}

TEST(FornProCatalogue, StepsAndSubProcedures) {
    const Catalogue& c = modDBPatch_FORNPRO::Catalogue();
    EXPECT_EQ(c.target, 70);
    EXPECT_FALSE(c.ladderHandler);
    EXPECT_EQ(numbers(c), span(2, 70, {52}));
    for (const Step& s : c.steps) EXPECT_EQ(s.kind, StepKind::Plain) << s.number;
    expectEachProcedureCalledOnce(c, 26);
    // vardoII's serial, FornII's custprodinterest and sale_h_tax.
    const Catalogue& vardo = modDBPatch_VARDO::Catalogue();
    const Catalogue& forn = modDBPatch_FORN::Catalogue();
    EXPECT_EQ(statements(c.procedure("CreateTBL_serial")->ops), statements(vardo.procedure("CreateTBL_serial")->ops));
    EXPECT_EQ(c.procedure("CreateTBL_serial")->ops.size(), vardo.procedure("CreateTBL_serial")->ops.size());
    EXPECT_EQ(c.procedure("CreateTBL_custprodinterest")->ops.size(), 3u);
    EXPECT_TRUE(std::get<CreateIndexOp>(c.procedure("CreateTBL_custprodinterest")->ops[2]).unique);
    EXPECT_EQ(statements(c.procedure("CreateTBL_sale_h_tax")->ops),
              statements(forn.procedure("CreateTBL_sale_h_tax")->ops));
    for (const char* own : {"CreateTBL_holiday1", "BillNoteSubRtn", "LoginPwdUpdate"})
        EXPECT_TRUE(c.procedure(own)->ownHandler) << own;
}

TEST(QbCatalogue, StepsAndSubProcedures) {
    const Catalogue& c = modDBPatch_QB::Catalogue();
    EXPECT_EQ(c.target, 14);
    EXPECT_FALSE(c.ladderHandler) << "its steps stand in the entry: errors reach the entry's handler";
    EXPECT_EQ(numbers(c), span(2, 14, {11}));
    expectEachProcedureCalledOnce(c, 2);
    for (const auto& [name, p] : c.procedures) EXPECT_FALSE(p.ownHandler) << name;
}

}  // namespace
