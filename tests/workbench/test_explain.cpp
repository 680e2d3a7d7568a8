// Below the grid: the structures a run keeps, the index-level comparison, the
// fix script's planning, the mode that keeps one-sided fields, and the
// reports' texts.
#include <gtest/gtest.h>

#include <map>
#include <algorithm>
#include <sstream>

#include "FakeEngine.h"
#include "FixScript.h"
#include "IndexDiff.h"
#include "Report.h"
#include "modCmpDB.h"

using namespace dex;
using namespace dex::test;

namespace {

class ExplainTest : public ::testing::Test {
protected:
    ExplainTest() : wb{grid, engine, dialogs, itemBar, overallBar, window} {
        grid.setColumnCount(23);
        wb.structures = &loaded;
    }
    int64_t compare(std::vector<TableDef> a, std::vector<TableDef> b) {
        engine.files["A.mdb"].tables = std::move(a);
        engine.files["B.mdb"].tables = std::move(b);
        EXPECT_TRUE(modCmpDB::LoadDBStruct(wb, "A.mdb", true, "", ""));
        EXPECT_TRUE(modCmpDB::LoadDBStruct(wb, "B.mdb", false, "", ""));
        return modCmpDB::CompareStruct(wb);
    }
    // "table.field [PFI] | table.field [PFI]" of a row; "-" for an empty side.
    std::string row(int r) const {
        auto side = [&](int base) {
            const std::string key = modCmpDB::GetCellText(grid, base + 11, r);
            if (key.empty()) return std::string("-");
            std::string marks;
            for (int j = 2; j <= 4; ++j) marks += modCmpDB::GetCellText(grid, base + j, r).empty() ? "." : "v";
            return key + " [" + marks + "]";
        };
        return side(0) + " " + modCmpDB::GetCellText(grid, 12, r) + "| " + side(12);
    }
    std::vector<std::string> descriptions(const indexdiff::StructureDiff& d,
                                          words::Language language = words::Language::English) const {
        std::vector<std::string> out;
        for (const auto& x : d.indexes) out.push_back(indexdiff::DescribeDifference(x, language));
        for (const auto& x : d.settings) out.push_back(indexdiff::DescribeSettings(x, language));
        return out;
    }

    Grid grid;
    FakeEngine engine;
    RecordingDialogs dialogs;
    ProgressBar itemBar, overallBar;
    RecordingWindow window;
    LoadedStructures loaded;
    Workbench wb;
};

IndexDef uniqueIndex(const std::string& name, std::vector<std::string> fields) {
    IndexDef ix = plainIndex(name, std::move(fields));
    ix.unique = true;
    return ix;
}

IndexDef references(IndexDef fk, const std::string& table, std::vector<std::string> fields) {
    fk.referencedTable = table;
    fk.referencedFields = std::move(fields);
    return fk;
}

TableDef customer(std::vector<IndexDef> indexes) {
    return TableDef{"customer", {textField("code", 6), textField("name", 50), longField("gcode")}, std::move(indexes)};
}

}  // namespace

TEST_F(ExplainTest, RunKeepsWhatItLoadedAndExplainsWhatTheMarksHide) {
    // Both sides mark name and gcode "I", through different indexes: the grid
    // sees no difference, the index-level comparison does.
    TableDef system{"MSysObjects", {longField("Id")}, {}};
    const int64_t count = compare({system, customer({primaryKey({"code"}), plainIndex("idx_mix", {"name", "gcode"})})},
                                  {customer({primaryKey({"code"}), plainIndex("idx_n", {"name"}), plainIndex("idx_g", {"gcode"})})});
    EXPECT_EQ(count, 0);
    ASSERT_TRUE(loaded.complete());
    EXPECT_EQ(loaded.pathA, "A.mdb");
    ASSERT_EQ(loaded.tablesA.size(), 1u) << "system tables are not kept, as they are not loaded";
    EXPECT_EQ(descriptions(indexdiff::CompareStructures(loaded.tablesA, loaded.tablesB)),
              (std::vector<std::string>{"customer: index idx_mix (name, gcode) only in A",
                                        "customer: index idx_n (name) only in B",
                                        "customer: index idx_g (gcode) only in B"}));

    EXPECT_TRUE(modCmpDB::LoadDBStruct(wb, "B.mdb", true, "", ""));
    EXPECT_FALSE(loaded.complete()) << "loading side A starts a new pair";
}

TEST_F(ExplainTest, EachKindOfIndexDifference) {
    TableDef region{"Region", {longField("id"), longField("zone")}, {primaryKey({"id", "zone"})}};
    TableDef regionB{"REGION", {longField("ID"), longField("zone")}, {primaryKey({"zone", "ID"})}};
    TableDef grp{"grp", {longField("code")}, {primaryKey({"code"})}};
    auto fkA = references(foreignKey("fk_cust_grp", {"gcode"}), "grp", {"code"});
    auto fkB = references(foreignKey("FK_CUST_GRP", {"gcode"}), "region", {"id"});
    TableDef a = customer({primaryKey({"code"}), plainIndex("idx_name", {"name"}), fkA});
    TableDef b = customer({IndexDef{"pk_customer", true, false, true, {"CODE"}, {}, {}}, uniqueIndex("idx_name", {"name"}), fkB});
    b.fields[1] = FieldDef{"name", daotype::Text, 40, "\"\"", false, false};
    b.fields[2] = FieldDef{"gcode", daotype::Integer, 2, "1", true, false};
    TableDef onlyA{"memo_a", {longField("id")}, {}}, onlyB{"memo_b", {longField("id")}, {}};

    const auto d = indexdiff::CompareStructures({a, grp, onlyA, region}, {b, grp, regionB, onlyB});
    EXPECT_EQ(d.tablesOnlyInA, std::vector<std::string>{"memo_a"});
    EXPECT_EQ(d.tablesOnlyInB, std::vector<std::string>{"memo_b"});
    EXPECT_EQ(descriptions(d),
              (std::vector<std::string>{
                  "customer: primary key PrimaryKey (code) in A is named pk_customer in B",
                  "customer: idx_name differs in unique: A index idx_name (name), B unique index idx_name (name)",
                  "customer: fk_cust_grp differs in referenced table, referenced fields: A foreign key fk_cust_grp "
                  "(gcode) references grp (code), B foreign key FK_CUST_GRP (gcode) references region (id)",
                  "Region: PrimaryKey differs in field order: A primary key PrimaryKey (id, zone), B primary key "
                  "PrimaryKey (zone, ID)",
                  "customer.name: size A 50, B 40; required A yes, B no; zero-length A yes, B no",
                  "customer.gcode: type A Long, B Integer; default A 0, B 1",
              }));
    EXPECT_EQ(d.indexes[2].parts, indexdiff::part::ReferencedTable | indexdiff::part::ReferencedFields);
    // The same in Korean, the reports' source language.
    EXPECT_EQ(descriptions(d, words::Language::Korean),
              (std::vector<std::string>{
                  "customer: A의 기본키 PrimaryKey (code), B에서의 이름은 pk_customer",
                  "customer: idx_name의 고유 다름: A 인덱스 idx_name (name), B 고유 인덱스 idx_name (name)",
                  "customer: fk_cust_grp의 참조 테이블, 참조 필드 다름: A 외래키 fk_cust_grp (gcode) → grp (code), "
                  "B 외래키 FK_CUST_GRP (gcode) → region (id)",
                  "Region: PrimaryKey의 필드 순서 다름: A 기본키 PrimaryKey (id, zone), B 기본키 PrimaryKey (zone, ID)",
                  "customer.name: 크기 A 50, B 40; 필수 A 예, B 아니오; 빈 문자열 A 예, B 아니오",
                  "customer.gcode: 형식 A Long, B Integer; 기본값 A 0, B 1",
              }));
    EXPECT_EQ(indexdiff::PartNames(d.indexes[2].parts), (std::vector<std::string>{"referenced table", "referenced fields"}))
        << "the JSON's names stay the same in every language";
}

TEST(Words, TheDesktopsLanguageAndTheTextsFilledIn) {
    using words::Language;
    struct Case {
        std::map<std::string, std::string> environment;
        Language expected;
    };
    const Case cases[] = {
        {{}, Language::Korean},
        {{{"LANG", "C.UTF-8"}}, Language::Korean},
        {{{"LANG", "POSIX"}, {"LANGUAGE", "en"}}, Language::Korean},  // LANGUAGE counts only with a real locale
        {{{"LANG", "ko_KR.UTF-8"}}, Language::Korean},
        {{{"LANG", "en_US.UTF-8"}}, Language::English},
        {{{"LANG", "en_GB"}, {"LC_MESSAGES", "ko_KR.UTF-8"}}, Language::Korean},
        {{{"LANG", "ko_KR.UTF-8"}, {"LC_ALL", "en_US.UTF-8"}}, Language::English},
        {{{"LANG", "de_DE.UTF-8"}}, Language::Korean},
        {{{"LANG", "de_DE.UTF-8"}, {"LANGUAGE", "de:en_US:ko"}}, Language::English},
        {{{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "ko"}}, Language::Korean},
        {{{"LANG", "en_US@euro"}, {"LANGUAGE", "::"}}, Language::English},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const auto& [k, v] : c.environment) shown += k + "=" + v + " ";
        EXPECT_EQ(words::LanguageOf([&](const char* name) {
                      auto it = c.environment.find(name);
                      return it == c.environment.end() ? std::string() : it->second;
                  }),
                  c.expected)
            << shown;
    }
    EXPECT_EQ(words::Fill("%1: %2에만 있음", {"customer.rid", "A"}), "customer.rid: A에만 있음");
    EXPECT_EQ(words::Fill("%2 %1 %3 100%", {"%2", "b"}), "b %2 %3 100%") << "values are not filled again";
    EXPECT_EQ(words::Say(Language::English, words::Context::Report, "결과"), "Result");
    EXPECT_EQ(words::Say(Language::Korean, words::Context::Report, "결과"), "결과");
    EXPECT_EQ(words::Say(Language::English, words::Context::Report, "없는 말"), "없는 말");
}

TEST_F(ExplainTest, KeepingOneSidedFieldsMarksAndCountsThem) {
    TableDef a{"t", {longField("x"), longField("y"), longField("z")}, {}};
    TableDef b{"t", {longField("y"), longField("x")}, {}};
    EXPECT_EQ(compare({a}, {b}), 1) << "by default z is left out and y, pushed below, is not examined";
    EXPECT_EQ(modCmpDB::OneSidedModeLabel(false), "");

    wb.keepOneSidedFields = true;
    EXPECT_EQ(compare({a}, {b}), 3);
    EXPECT_EQ(dialogs.shown.back().text, "3건의 다른곳이 발견 되었습니다.");
    ASSERT_EQ(grid.rowCount(), 4);
    EXPECT_EQ(row(1), "- !| t.y [...]");
    EXPECT_EQ(row(2), "t.x [...] | t.x [...]");
    EXPECT_EQ(row(3), "t.y [...] !| -");
    EXPECT_EQ(row(4), "t.z [...] !| -");
    EXPECT_EQ(grid.backColor(1, 4), Color{0x0080FFFF});
    EXPECT_EQ(grid.backColor(10, 4), Color{0x0080FFFF});
    EXPECT_EQ(grid.backColor(1, 3), std::nullopt) << "y is on both sides: it only faces a shifted row";
    EXPECT_EQ(grid.backColor(17, 1), Color{0x00FFC0C0});
    EXPECT_EQ(modCmpDB::OneSidedModeLabel(true), "한쪽에만 있는 필드 표시");
}

TEST_F(ExplainTest, FixScriptNamesWhatItCannotApply) {
    LoadedStructures s;
    s.pathA = "a.mdb";
    s.pathB = "b.mdb";
    TableDef grp{"grp", {longField("code")}, {primaryKey({"code"})}};
    TableDef a = customer({primaryKey({"code"}), plainIndex("idx_memo", {"memo"}),
                           references(foreignKey("fk_grp", {"gcode"}), "grp", {"code"})});
    a.fields.push_back(textField("memo"));
    s.tablesA = {a, grp};
    s.tablesB = {customer({primaryKey({"code"})})};
    EXPECT_EQ(fixscript::MakeFixScript(s, fixscript::Target::B, nullptr),
              "-- Makes the primary keys, foreign keys and indexes of B (b.mdb) those of A (a.mdb).\n"
              "-- table grp is only in A: tables are not created here\n"
              "-- customer: index idx_memo (memo) only in A\n"
              "-- cannot be applied (field memo is not in B's table customer): CREATE INDEX [idx_memo] ON "
              "[customer] ([memo])\n"
              "-- customer: foreign key fk_grp (gcode) references grp (code) only in A\n"
              "-- cannot be applied (table grp is not in B): ALTER TABLE [customer] ADD CONSTRAINT [fk_grp] "
              "FOREIGN KEY ([gcode]) REFERENCES [grp] ([code])\n");
    s.tablesB = {customer({primaryKey({"code"})}), grp};
    s.tablesA = s.tablesB;
    EXPECT_EQ(fixscript::MakeFixScript(s, fixscript::Target::A, nullptr), "");
}

// Names from a customer's file are data: a line break cannot end a comment
// and start a statement, a ']' cannot close a bracket, and a statement with
// a name Jet could never hold is only written as a comment.
TEST_F(ExplainTest, FixScriptNamesAreNeverSyntax) {
    LoadedStructures s;
    s.pathA = "a\n.mdb";
    s.pathB = "b.mdb";
    TableDef victim{"victim", {longField("v")}, {}}, other{"other", {longField("x"), longField(" lead")}, {}};
    s.tablesB = {victim, other};
    victim.indexes = {plainIndex("nl\nDROP TABLE [victim]\n-- ", {"v"})};
    other.indexes = {plainIndex("br] ON [victim] ([v]) --", {"x"}), plainIndex("ix_lead", {" lead"}),
                     plainIndex("tab\tu\xE2\x80\xA8", {"x"}), plainIndex("it's; fine -- \"so\"", {"x"})};
    s.tablesA = {victim, other};
    EXPECT_EQ(fixscript::MakeFixScript(s, fixscript::Target::B, nullptr),
              "-- Makes the primary keys, foreign keys and indexes of B (b.mdb) those of A (a\\n.mdb).\n"
              "-- victim: index nl\\nDROP TABLE [victim]\\n--  (v) only in A\n"
              "-- cannot be applied (the index name 'nl\\nDROP TABLE [victim]\\n-- ' cannot be a Jet name: it holds "
              "a control character): CREATE INDEX [nl\\nDROP TABLE [victim]]\\n-- ] ON [victim] ([v])\n"
              "-- other: index br] ON [victim] ([v]) -- (x) only in A\n"
              "-- cannot be applied (the index name 'br] ON [victim] ([v]) --' cannot be a Jet name: it holds ']'): "
              "CREATE INDEX [br]] ON [victim]] ([v]]) --] ON [other] ([x])\n"
              "-- other: index ix_lead ( lead) only in A\n"
              "-- cannot be applied (the field name ' lead' cannot be a Jet name: it starts with a blank): CREATE "
              "INDEX [ix_lead] ON [other] ([ lead])\n"
              "-- other: index tab\\tu\\u2028 (x) only in A\n"
              "-- cannot be applied (the index name 'tab\\tu\\u2028' cannot be a Jet name: it holds a control "
              "character): CREATE INDEX [tab\\tu\\u2028] ON [other] ([x])\n"
              "-- other: index it's; fine -- \"so\" (x) only in A\n"
              "CREATE INDEX [it's; fine -- \"so\"] ON [other] ([x])\n");
    // The other way round the same indexes are dropped: only the statements
    // whose own names are sound are written as statements.
    EXPECT_EQ(fixscript::MakeFixScript(s, fixscript::Target::A, nullptr),
              "-- Makes the primary keys, foreign keys and indexes of A (a\\n.mdb) those of B (b.mdb).\n"
              "-- victim: index nl\\nDROP TABLE [victim]\\n--  (v) only in A\n"
              "-- cannot be applied (the index name 'nl\\nDROP TABLE [victim]\\n-- ' cannot be a Jet name: it holds "
              "a control character): DROP INDEX [nl\\nDROP TABLE [victim]]\\n-- ] ON [victim]\n"
              "-- other: index br] ON [victim] ([v]) -- (x) only in A\n"
              "-- cannot be applied (the index name 'br] ON [victim] ([v]) --' cannot be a Jet name: it holds ']'): "
              "DROP INDEX [br]] ON [victim]] ([v]]) --] ON [other]\n"
              "-- other: index ix_lead ( lead) only in A\n"
              "DROP INDEX [ix_lead] ON [other]\n"
              "-- other: index tab\\tu\\u2028 (x) only in A\n"
              "-- cannot be applied (the index name 'tab\\tu\\u2028' cannot be a Jet name: it holds a control "
              "character): DROP INDEX [tab\\tu\\u2028] ON [other]\n"
              "-- other: index it's; fine -- \"so\" (x) only in A\n"
              "DROP INDEX [it's; fine -- \"so\"] ON [other]\n");
}

// A cell a spreadsheet would run as a formula starts with an apostrophe; a
// cell with a comma, a double quote or a line break is quoted.
TEST(ReportText, CsvCellsAreNeverFormulas) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
        {"+SUM(1+1)", "\"'+SUM(1+1)\""},
        {"-1", "\"'-1\""},
        {"@SUM(1)", "\"'@SUM(1)\""},
        {"=cmd|' /C calc'!A0", "\"'=cmd|' /C calc'!A0\""},
        {"\t=1", "\"'\t=1\""},
        {"\r=1", "\"'\r=1\""},
        {"a=b", "a=b"},
        {" =1", " =1"},
        {"plain", "plain"},
        {"", ""},
        {"a\"b", "\"a\"\"b\""},
        {"a,b", "\"a,b\""},
        {"a\nb", "\"a\nb\""},
        {"a\rb", "\"a\rb\""},
        {"\"", "\"\"\"\""},
    };
    for (const auto& [cell, written] : cases) EXPECT_EQ(report::CsvField(cell), written) << cell;
}

// Each escape of a text row or comment line, and what stays as it is.
TEST(ReportText, OneLineTextEscapesWhatWouldBreakALine) {
    EXPECT_EQ(report::OneLineText("a\tb\nc\rd\\e"), "a\\tb\\nc\\rd\\\\e");
    EXPECT_EQ(report::OneLineText(std::string("\x01\x1B[2J\x7F\0", 7)), "\\x01\\x1B[2J\\x7F\\x00");
    EXPECT_EQ(report::OneLineText("x\xC2\x85y\xE2\x80\xA8z\xE2\x80\xA9"), "x\\u0085y\\u2028z\\u2029");
    EXPECT_EQ(report::OneLineText("거래처 \"q\" 'a' \xE2\x80\xA7 \xC2\xA0"), "거래처 \"q\" 'a' \xE2\x80\xA7 \xC2\xA0");
}

TEST(IndexDiff, EachPartOfADefinitionInBothDirections) {
    using namespace indexdiff::part;
    const IndexDef base = plainIndex("ix", {"a", "b"});
    auto with = [&](auto change) {
        IndexDef ix = base;
        change(ix);
        return ix;
    };
    const IndexDef fk = with([](IndexDef& ix) {
        ix.foreign = true;
        ix.referencedTable = "grp";
        ix.referencedFields = {"x", "y"};
    });
    const std::vector<std::pair<IndexDef, unsigned>> cases = {
        {with([](IndexDef& ix) { ix.fields = {"a", "c"}; }), Fields},
        {with([](IndexDef& ix) { ix.fields = {"a"}; }), Fields},
        {with([](IndexDef& ix) { ix.fields = {"b", "a"}; }), FieldOrder},
        {with([](IndexDef& ix) { ix.fields = {"A", "B"}; }), 0},
        {with([](IndexDef& ix) { ix.unique = true; }), Unique},
        {with([](IndexDef& ix) { ix.primary = true; }), Primary},
        // Only one side refers to anything: only "foreign" differs.
        {fk, Foreign},
    };
    for (const auto& [other, parts] : cases) {
        EXPECT_EQ(indexdiff::DefinitionDifferences(base, other), parts) << indexdiff::DescribeIndex(other);
        EXPECT_EQ(indexdiff::DefinitionDifferences(other, base), parts) << indexdiff::DescribeIndex(other);
        EXPECT_EQ(indexdiff::SameDefinition(base, other), parts == 0);
    }
    const std::vector<std::pair<IndexDef, unsigned>> foreignCases = {
        {references(fk, "GRP", {"X", "Y"}), 0},
        {references(fk, "other", {"x", "y"}), ReferencedTable},
        {references(fk, "grp", {"y", "x"}), ReferencedFields},
        {references(fk, "other", {"x"}), ReferencedTable | ReferencedFields},
    };
    for (const auto& [other, parts] : foreignCases) {
        EXPECT_EQ(indexdiff::DefinitionDifferences(fk, other), parts) << indexdiff::DescribeIndex(other);
        EXPECT_EQ(indexdiff::DefinitionDifferences(other, fk), parts) << indexdiff::DescribeIndex(other);
    }
    EXPECT_EQ(indexdiff::DescribeParts(127), "fields, field order, unique, primary, foreign, referenced table, "
                                             "referenced fields");
    EXPECT_EQ(indexdiff::DescribeIndex(uniqueIndex("u", {"a"})), "unique index u (a)");
    EXPECT_EQ(indexdiff::DescribeIndex(with([](IndexDef& ix) { ix.unique = ix.foreign = true; })),
              "unique foreign key ix (a, b) references  ()");
}

TEST(IndexDiff, MatchingPrefersNameAndDefinitionThenDefinitionThenName) {
    // A's ix1 has the definition of B's ix2 and the other way round: two
    // renames, not two redefinitions. ix3 keeps its name with another field.
    const TableDef a{"t", {longField("p"), longField("q"), longField("r")},
                     {plainIndex("ix1", {"p"}), plainIndex("ix2", {"q"}), plainIndex("ix3", {"p", "q"}), plainIndex("ix4", {"r"})}};
    const TableDef b{"T", {longField("p"), longField("q"), longField("r")},
                     {plainIndex("ix3", {"r"}), plainIndex("ix2", {"p"}), plainIndex("ix1", {"q"}), plainIndex("IX4", {"r"})}};
    const auto d = indexdiff::CompareStructures({a}, {b});
    ASSERT_EQ(d.indexes.size(), 3u);
    EXPECT_EQ(indexdiff::DescribeDifference(d.indexes[0]), "t: index ix1 (p) in A is named ix2 in B");
    EXPECT_EQ(indexdiff::DescribeDifference(d.indexes[1]), "t: index ix2 (q) in A is named ix1 in B");
    EXPECT_EQ(indexdiff::DescribeDifference(d.indexes[2]),
              "t: ix3 differs in fields: A index ix3 (p, q), B index ix3 (r)");
    EXPECT_EQ(d.indexes[2].parts, indexdiff::part::Fields);
    EXPECT_TRUE(d.tablesOnlyInA.empty() && d.tablesOnlyInB.empty()) << "tables pair with letter case ignored";
}

TEST(IndexDiff, SizeAndZeroLengthAreComparedForTextFieldsOnly) {
    FieldDef longA = longField("n"), longB = longField("n");
    longB.size = 8;
    longB.allowZeroLength = !longA.allowZeroLength;
    FieldDef textA = textField("s", 10), textB = textField("s", 10);
    textB.allowZeroLength = false;
    FieldDef memo = textField("s", 0);
    memo.type = daotype::Memo;
    FieldDef required = textA;
    required.required = !textA.required;
    required.defaultValue = "";
    const TableDef a{"t", {longA, textA}, {}};
    auto settings = [&](std::vector<FieldDef> fields) {
        std::vector<std::string> out;
        for (const auto& d : indexdiff::CompareStructures({a}, {TableDef{"t", std::move(fields), {}}}).settings)
            out.push_back(indexdiff::DescribeSettings(d));
        return out;
    };
    EXPECT_EQ(settings({longB, textA}), std::vector<std::string>{}) << "a Long's size and zero-length are not compared";
    EXPECT_EQ(settings({longA, textB}), std::vector<std::string>{"t.s: zero-length A yes, B no"});
    EXPECT_EQ(settings({longA, memo}), std::vector<std::string>{"t.s: type A Text, B Memo"});
    EXPECT_EQ(settings({longA, required}),
              std::vector<std::string>{"t.s: default A \"\", B (none); required A yes, B no"});
}

namespace {

std::string fixScript(std::vector<TableDef> a, std::vector<TableDef> b, fixscript::Target target,
                      fixscript::OrphanCheck* orphans = nullptr) {
    LoadedStructures s;
    s.pathA = "a.mdb";
    s.pathB = "b.mdb";
    s.tablesA = std::move(a);
    s.tablesB = std::move(b);
    s.loadedA = s.loadedB = true;
    return fixscript::MakeFixScript(s, target, orphans);
}

// The script's lines that are statements (not comments), in order.
std::vector<std::string> statements(const std::string& script) {
    std::vector<std::string> out;
    std::istringstream lines(script);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("--", 0) != 0) out.push_back(line);
    return out;
}

struct CountingOrphans : fixscript::OrphanCheck {
    std::optional<int64_t> rows;
    std::vector<std::string> asked;
    std::optional<int64_t> orphanRows(const std::string& table, const std::vector<std::string>& fields,
                                      const std::string& refTable, const std::vector<std::string>&) override {
        asked.push_back(table + "(" + fields.front() + ")->" + refTable);
        return rows;
    }
};

}  // namespace

TEST(FixScript, WhatItNamesAndWhichKeysAForeignKeyMayReferTo) {
    using fixscript::Target;
    TableDef grp{"grp", {longField("code"), longField("kind")}, {primaryKey({"code"})}};
    TableDef kind{"kind", {longField("id")}, {primaryKey({"id"})}};
    // parent.code is unique only through its own foreign key's index: no
    // foreign key may refer to it.
    TableDef parent{"parent", {longField("code")}, {references(foreignKey("fk_parent_grp", {"code"}), "grp", {"code"})}};
    parent.indexes[0].unique = true;
    TableDef child{"child", {longField("id"), longField("pcode"), longField("kid")}, {primaryKey({"id"})}};
    TableDef childA = child;
    childA.indexes.push_back(references(foreignKey("fk_child_parent", {"pcode"}), "parent", {"code"}));
    childA.indexes.push_back(references(foreignKey("fk_child_kind", {"kid"}), "kind", {"id"}));
    childA.indexes.push_back(plainIndex("ix_two", {"m1", "m2"}));
    // kind is only in B: its own primary key stays, so a foreign key may refer to it.
    const std::string toB = fixScript({grp, parent, childA}, {grp, parent, child, kind}, Target::B);
    EXPECT_NE(toB.find("-- cannot be applied (field m1 is not in B's table child): CREATE INDEX"), std::string::npos)
        << "the first missing field is named:\n" << toB;
    EXPECT_NE(toB.find("-- cannot be applied (no primary key or unique index of parent has the fields ("),
              std::string::npos)
        << toB;
    EXPECT_EQ(statements(toB), std::vector<std::string>{"ALTER TABLE [child] ADD CONSTRAINT [fk_child_kind] FOREIGN "
                                                        "KEY ([kid]) REFERENCES [kind] ([id])"})
        << toB;
    EXPECT_NE(toB.find("-- table kind is only in B: tables are not dropped here\n"), std::string::npos) << toB;

    // The other direction drops what A has and B lacks: foreign keys first,
    // then indexes; the notes say which side each table is on.
    const std::string toA = fixScript({grp, parent, childA}, {grp, parent, child, kind}, Target::A);
    EXPECT_EQ(statements(toA), (std::vector<std::string>{"ALTER TABLE [child] DROP CONSTRAINT [fk_child_parent]",
                                                         "ALTER TABLE [child] DROP CONSTRAINT [fk_child_kind]",
                                                         "DROP INDEX [ix_two] ON [child]"}))
        << toA;
    EXPECT_NE(toA.find("-- Makes the primary keys, foreign keys and indexes of A (a.mdb) those of B (b.mdb).\n"),
              std::string::npos);
    EXPECT_NE(toA.find("-- table kind is only in B: tables are not created here\n"), std::string::npos) << toA;
}

TEST(FixScript, EachKindOfStatementInItsSectionAndTheOrphanWarningOfEachCount) {
    using fixscript::Target;
    TableDef grp{"grp", {longField("code")}, {primaryKey({"code"})}};
    TableDef t{"t", {longField("id"), longField("g"), longField("n")}, {}};
    TableDef a = t, b = t;
    a.indexes = {primaryKey({"id"}), uniqueIndex("ux_n", {"n"}), references(foreignKey("fk_g", {"g"}), "grp", {"code"})};
    b.indexes = {IndexDef{"pk_t", true, false, true, {"n"}, {}, {}}, plainIndex("ix_g", {"g"})};
    CountingOrphans orphans;
    for (const auto& [rows, warning] :
         std::vector<std::pair<std::optional<int64_t>, std::string>>{
             {0, ""},
             {1, "-- t holds 1 row whose ([g]) match no row of grp: this statement fails until it is mended\n"},
             {2, "-- t holds 2 rows whose ([g]) match no row of grp: this statement fails until they are mended\n"},
             {std::nullopt, "-- could not check t for rows that match no row of grp; if it has any, this statement "
                            "fails until they are mended\n"}}) {
        orphans.rows = rows;
        const std::string script = fixScript({a, grp}, {b, grp}, Target::B, &orphans);
        EXPECT_EQ(statements(script),
                  (std::vector<std::string>{"ALTER TABLE [t] DROP CONSTRAINT [pk_t]", "DROP INDEX [ix_g] ON [t]",
                                            "ALTER TABLE [t] ADD CONSTRAINT [PrimaryKey] PRIMARY KEY ([id])",
                                            "CREATE UNIQUE INDEX [ux_n] ON [t] ([n])",
                                            "ALTER TABLE [t] ADD CONSTRAINT [fk_g] FOREIGN KEY ([g]) REFERENCES [grp] "
                                            "([code])"}))
            << script;
        if (warning.empty()) {
            EXPECT_EQ(script.find("-- t holds"), std::string::npos) << script;
            EXPECT_EQ(script.find("-- could not"), std::string::npos) << script;
        } else {
            EXPECT_NE(script.find(warning + "ALTER TABLE [t] ADD CONSTRAINT [fk_g]"), std::string::npos) << script;
        }
    }
    EXPECT_EQ(orphans.asked.front(), "t(g)->grp");
}

TEST(Report, CsvHtmlAndJsonEscapesOneByOne) {
    using namespace report;
    for (const auto& [in, out] : std::vector<std::pair<std::string, std::string>>{
             {"plain", "plain"},
             {"a,b", "\"a,b\""},
             {"say \"hi\"", "\"say \"\"hi\"\"\""},
             {"a\"b", "\"a\"\"b\""},
             {"line\nbreak", "\"line\nbreak\""},
             {"car\rreturn", "\"car\rreturn\""},
             {"", ""}})
        EXPECT_EQ(CsvField(in), out) << in;
    EXPECT_EQ(HtmlEscape("<a href=\"x\">Tom & 'Jerry'</a>"),
              "&lt;a href=&quot;x&quot;&gt;Tom &amp; &#39;Jerry&#39;&lt;/a&gt;");
    EXPECT_EQ(JsonString("q\" b\\ n\n r\r t\t \x01 \x1f \x7f 한"), "\"q\\\" b\\\\ n\\n r\\r t\\t \\u0001 \\u001f \x7f 한\"");
    for (const char* ok : {"r.html", "r.HTM", "r.Csv", "r.json", "dir.x/r.html"}) EXPECT_TRUE(IsReportPath(ok)) << ok;
    for (const char* no : {"r.txt", "r.html.bak", "html", "r.jsonl", ""}) EXPECT_FALSE(IsReportPath(no)) << no;
    EXPECT_EQ(CssColor(0x00336699), "#996633");
    EXPECT_EQ(VbColor(0x00336699), "&H00336699");
    EXPECT_EQ(IconName(Icon::Critical), "critical");
    EXPECT_EQ(IconName(Icon::None), "none");
}

TEST_F(ExplainTest, ReportSaysWhichSideAFieldIsOnAndCountsMarkedRowsOnly) {
    wb.keepOneSidedFields = true;
    TableDef a{"t", {longField("x"), longField("onlyA")}, {}};
    TableDef b{"t", {longField("onlyB"), longField("x")}, {primaryKey({"x"})}};
    ASSERT_EQ(compare({a}, {b}), 3);
    std::vector<report::Message> messages;
    for (const auto& m : dialogs.shown) messages.push_back({m.title, m.text, m.icon});
    const report::ReportData data = report::MakeReportData(grid, &loaded, std::move(messages), words::Language::English);
    EXPECT_EQ(data.count, 3);
    std::vector<std::string> differences;
    for (const auto& r : data.rows)
        if (r.marked()) differences.push_back(r.difference);
    EXPECT_EQ(differences, (std::vector<std::string>{"t.onlyB only in B", "primary key: A no, B yes; t: primary key "
                                                                          "PrimaryKey (x) only in B",
                                                     "t.onlyA only in A"}));
    EXPECT_EQ(data.resultMessage(), "3건의 다른곳이 발견 되었습니다.");
    const std::string csv = report::CsvReport(data);
    const std::string rows = csv.substr(csv.find("\r\n\r\n") + 4);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 4) << "a header and the three marked rows:\n" << csv;
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBFResult,\"The databases differ: 3 marked rows, 3 other differences\"\r\n", 0), 0u)
        << csv;
    const std::string html = report::HtmlReport(data);
    EXPECT_NE(html.find("<h2>Marked rows (3)</h2>"), std::string::npos);
}

TEST_F(ExplainTest, AReportOfAPairWhoseBFailedToLoadComparesNoIndexes) {
    engine.files["A.mdb"].tables = {customer({primaryKey({"code"})})};
    ASSERT_TRUE(modCmpDB::LoadDBStruct(wb, "A.mdb", true, "", ""));
    EXPECT_FALSE(modCmpDB::LoadDBStruct(wb, "missing.mdb", false, "", ""));
    ASSERT_FALSE(loaded.complete());
    const report::ReportData data = report::MakeReportData(grid, &loaded, {}, words::Language::English);
    EXPECT_FALSE(data.structure) << "B's tables are unknown, not empty";
    EXPECT_NE(report::HtmlReport(data).find("<p class=\"none\">The structures were not kept for this run.</p>"),
              std::string::npos);
    std::ostringstream json;
    report::WriteCompareJson(json, data, true);
    EXPECT_NE(json.str().find(",\"indexes\":null,\"settings\":null}"), std::string::npos) << json.str();
}
