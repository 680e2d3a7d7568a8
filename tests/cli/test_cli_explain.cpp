// compare --report and --fix-sql on two stores that have drifted apart in
// every way an index can, and the fix scripts applied with exec.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "JetWriter.h"
#include "RunProgram.h"
#include "UniqueFolder.h"

namespace fs = std::filesystem;
using dex::test::readWhole;
using dex::test::runProgram;

namespace {

const char* const kReference =
    "CREATE TABLE custgroup (code LONG NOT NULL, name VARCHAR(20), PRIMARY KEY (code))\n"
    "CREATE TABLE grp2 (code LONG NOT NULL, name VARCHAR(20), PRIMARY KEY (code))\n"
    "CREATE TABLE region (id LONG NOT NULL, zone LONG NOT NULL, PRIMARY KEY (id, zone))\n"
    "CREATE TABLE customer (code VARCHAR(6) NOT NULL, name VARCHAR(50), gcode LONG, rid LONG, rzone LONG, "
    "PRIMARY KEY (code))\n"
    "CREATE TABLE orders (id LONG NOT NULL, gcode LONG, PRIMARY KEY (id))\n"
    "CREATE TABLE memo_a (id LONG)\n"
    "CREATE TABLE 거래처 (코드 LONG NOT NULL, 이름 VARCHAR(20), PRIMARY KEY (코드))\n"
    "CREATE INDEX idx_name ON customer (name)\n"
    "CREATE INDEX idx_mix ON customer (name, gcode)\n"
    "CREATE INDEX idx_rid ON customer (rid)\n"
    "CREATE INDEX ix_grp_name ON custgroup (name)\n"
    "CREATE INDEX ix_이름 ON 거래처 (이름)\n"
    "ALTER TABLE customer ADD CONSTRAINT fk_cust_group FOREIGN KEY (gcode) REFERENCES custgroup (code)\n"
    "ALTER TABLE customer ADD CONSTRAINT fk_cust_region FOREIGN KEY (rid, rzone) REFERENCES region (id, zone)\n"
    "ALTER TABLE orders ADD CONSTRAINT fk_order_group FOREIGN KEY (gcode) REFERENCES custgroup (code)\n";

// Every kind of difference: a renamed primary key that another table's
// foreign key depends on, a renamed index, a composite key in another order,
// an index unique on one side, a foreign key to another table, indexes that
// mark the same fields "I" differently, an index on one side, a table on one
// side, field settings.
const char* const kDrifted =
    "CREATE TABLE custgroup (code LONG NOT NULL, name VARCHAR(20), CONSTRAINT pk_group PRIMARY KEY (code))\n"
    "CREATE TABLE grp2 (code LONG NOT NULL, name VARCHAR(20), PRIMARY KEY (code))\n"
    "CREATE TABLE region (id LONG NOT NULL, zone LONG NOT NULL, PRIMARY KEY (zone, id))\n"
    "CREATE TABLE customer (code VARCHAR(6) NOT NULL, name VARCHAR(40) DEFAULT \"<x>\", gcode LONG, rid LONG, "
    "rzone LONG, PRIMARY KEY (code))\n"
    "CREATE TABLE orders (id LONG NOT NULL, gcode LONG, PRIMARY KEY (id))\n"
    "CREATE TABLE memo_b (id LONG)\n"
    "CREATE TABLE 거래처 (코드 LONG NOT NULL, 이름 VARCHAR(20), PRIMARY KEY (코드))\n"
    "CREATE UNIQUE INDEX idx_name ON customer (name)\n"
    "CREATE INDEX idx_g ON customer (gcode)\n"
    "CREATE INDEX ix_gname ON custgroup (name)\n"
    "ALTER TABLE customer ADD CONSTRAINT fk_cust_group FOREIGN KEY (gcode) REFERENCES grp2 (code)\n"
    "ALTER TABLE customer ADD CONSTRAINT fk_cust_region FOREIGN KEY (rzone, rid) REFERENCES region (zone, id)\n"
    "ALTER TABLE orders ADD CONSTRAINT fk_order_group FOREIGN KEY (gcode) REFERENCES custgroup (code)\n"
    "INSERT INTO custgroup (code) VALUES (1)\n"
    "INSERT INTO grp2 (code) VALUES (1)\n"
    "INSERT INTO region (id, zone) VALUES (1, 2)\n"
    "INSERT INTO customer (code, name, gcode, rid, rzone) VALUES ('c1', 'n', 1, 1, 2)\n"
    "INSERT INTO orders (id, gcode) VALUES (1, 1)\n";

class Explain : public ::testing::Test {
protected:
    Explain() : dir(dex::test::makeUniqueFolder("dexmira_explain")) {}
    ~Explain() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }
    // Run in the default language (Korean), or with LANG=lang.
    dex::test::ProgramResult dexmira(const std::vector<std::string>& args, const std::string& input = "",
                                     const std::string& lang = "") {
        std::vector<std::pair<std::string, std::string>> set;
        if (!lang.empty()) set.emplace_back("LANG", lang);
        return runProgram(DEXMIRA_BIN, args, input, 0, dex::test::kLanguageVariables, set);
    }
    void makeStore(const std::string& p, const std::string& script) {
        ASSERT_EQ(dexmira({"create", p, "--password", "kt5316"}).status, 0);
        auto r = dexmira({"exec", p, "--password", "kt5316"}, script);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    // The fix script for B of a comparison that finds differences.
    std::string fixScriptOf(const std::string& a, const std::string& b) {
        auto r = dexmira({"compare", a, b, "--fix-sql", path("fix.sql"), "--fix-target", "B"});
        EXPECT_EQ(r.status, 1) << r.err;
        return readWhole(path("fix.sql"));
    }
    // The index-level comparison of a JSON report: its "indexes" member.
    std::string indexesOf(const std::string& jsonReport) {
        const std::string text = readWhole(jsonReport);
        const size_t at = text.find("\"indexes\":");
        return at == std::string::npos ? "" : text.substr(at, text.find(",\"settings\":", at) - at);
    }

    fs::path dir;
};

// Fields of an RFC 4180 text, record by record.
std::vector<std::vector<std::string>> readCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') records.back().back() += text[++i];
        else if (c == '"') quoted = !quoted;
        else if (!quoted && c == ',') records.back().emplace_back();
        else if (!quoted && c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') records.emplace_back(1), ++i;
        else records.back().back() += c;
    }
    if (records.back().size() == 1 && records.back()[0].empty()) records.pop_back();
    return records;
}

// The CSV's header and marked rows, after the result and the empty line.
std::vector<std::vector<std::string>> markedRowsOf(std::vector<std::vector<std::string>> csv) {
    while (!csv.empty() && csv.front()[0] != "A 테이블명" && csv.front()[0] != "A Table") csv.erase(csv.begin());
    return csv;
}


}  // namespace

TEST_F(Explain, ReportsInThreeFormats) {
    const std::string a = path("a.mdb"), b = path("b.mdb");
    makeStore(a, kReference);
    makeStore(b, kDrifted);
    for (const char* ext : {"html", "csv", "json"}) {
        auto r = dexmira({"compare", a, b, "--report", path(std::string("r.") + ext)});
        EXPECT_EQ(r.status, 1) << r.err;
    }

    const std::string html = readWhole(path("r.html"));
    EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(html.find("@page { size: A4"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_NE(html.find("<tr><th>A (고객)</th><td class=\"path\">" + a + "</td></tr>"), std::string::npos);
    EXPECT_NE(html.find("<html lang=\"ko\">"), std::string::npos);
    EXPECT_NE(html.find("<h1>구조 비교</h1>"), std::string::npos);
    EXPECT_NE(html.find("<h2>결과</h2>\n<p class=\"verdict\"><b>두 DB는 다릅니다: 표시된 행 2, 그 밖의 차이 "),
              std::string::npos);
    EXPECT_NE(html.find("<p>2건의 다른곳이 발견 되었습니다.</p>"), std::string::npos);
    EXPECT_NE(html.find("<tr><td>15</td><td>거래처</td><td></td><td></td><td style=\"background-color:#FF0000\">v</td>"
                        "<td>이름</td>"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("<tr><td>customer</td><td>B에만 있음</td><td>-</td><td>인덱스 idx_g (gcode)</td></tr>"),
              std::string::npos);
    EXPECT_NE(html.find("<tr><td>customer</td><td>이름이 같고 정의가 다름: 참조 테이블</td>"
                        "<td>외래키 fk_cust_group (gcode) → custgroup (code)</td>"
                        "<td>외래키 fk_cust_group (gcode) → grp2 (code)</td></tr>"),
              std::string::npos);
    EXPECT_NE(html.find("<p>A에만 있는 테이블: memo_a</p>"), std::string::npos);
    EXPECT_NE(html.find("<tr><td>customer.name</td><td>크기 A 50, B 40; 기본값 A (없음), B &quot;&lt;x&gt;&quot;</td></tr>"),
              std::string::npos);

    const std::string csvText = readWhole(path("r.csv"));
    ASSERT_EQ(csvText.substr(0, 3), "\xEF\xBB\xBF");
    const auto all = readCsv(csvText.substr(3));
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all[0][0], "결과") << "the result comes first";
    const auto csv = markedRowsOf(all);
    ASSERT_EQ(csv.size(), 3u);
    ASSERT_EQ(csv[0].size(), 24u);
    EXPECT_EQ(csv[0][0], "A 테이블명");
    EXPECT_EQ(csv[0][11], "비교");
    EXPECT_EQ(csv[0][23], "차이");
    EXPECT_EQ(csv[1][10], "customer.rid");
    EXPECT_EQ(csv[1][3], "v");
    EXPECT_EQ(csv[1][15], "");
    EXPECT_EQ(csv[2][23], "인덱스: A 예, B 아니오; 거래처: A에만 있는 인덱스 ix_이름 (이름)");

    const std::string json = readWhole(path("r.json"));
    EXPECT_NE(json.find("\"count\":2,\"active\":{\"column\":12,\"row\":6}"), std::string::npos);
    EXPECT_NE(json.find("\"indexes\":{\"tablesOnlyInA\":[\"memo_a\"],\"tablesOnlyInB\":[\"memo_b\"],\"differences\":["
                        "{\"table\":\"custgroup\",\"change\":\"renamed\",\"differs\":[]"),
              std::string::npos);
    EXPECT_NE(json.find("{\"table\":\"region\",\"change\":\"redefined\",\"differs\":[\"field order\"]"), std::string::npos);
    EXPECT_NE(json.find("\"settings\":[{\"table\":\"customer\",\"field\":\"name\",\"differs\":[\"size\",\"default\"]"),
              std::string::npos);

    auto oneSided = dexmira({"compare", a, b, "--one-sided"});
    EXPECT_EQ(oneSided.err, "4건의 다른곳이 발견 되었습니다.\n");
    EXPECT_NE(oneSided.out.find("   10  memo_a.id [...]         !  (none)\n"), std::string::npos) << oneSided.out;
}

// Hangul syllables in text, once the given words are taken out.
bool hasHangulBesides(std::string text, const std::vector<std::string>& words) {
    for (const auto& w : words)
        for (size_t at; (at = text.find(w)) != std::string::npos;) text.erase(at, w.size());
    for (size_t i = 0; i + 2 < text.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(text[i]), b1 = static_cast<unsigned char>(text[i + 1]);
        // U+AC00..U+D7A3 in UTF-8: EA B0 80 .. ED 9E A3.
        if ((b0 == 0xEA && b1 >= 0xB0) || b0 == 0xEB || b0 == 0xEC || (b0 == 0xED && b1 <= 0x9E)) return true;
    }
    return false;
}

TEST_F(Explain, ReportsInEnglishForAnEnglishDesktop) {
    const std::string a = path("a.mdb"), b = path("b.mdb");
    makeStore(a, kReference);
    makeStore(b, kDrifted);
    for (const char* ext : {"html", "csv", "json"}) {
        auto r = dexmira({"compare", a, b, "--report", path(std::string("en.") + ext)}, "", "en_US.UTF-8");
        EXPECT_EQ(r.status, 1) << r.err;
    }
    // The databases' own names, and the run's message, which the comparison
    // shows in its own words.
    const std::vector<std::string> data{"거래처", "이름", "2건의 다른곳이 발견 되었습니다."};

    const std::string html = readWhole(path("en.html"));
    EXPECT_NE(html.find("<html lang=\"en\">"), std::string::npos);
    EXPECT_NE(html.find("<h1>Structure comparison</h1>"), std::string::npos);
    EXPECT_NE(html.find("<h2>Result</h2>\n<p class=\"verdict\"><b>The databases differ: 2 marked rows, "),
              std::string::npos);
    EXPECT_NE(html.find("<p>2건의 다른곳이 발견 되었습니다.</p>"), std::string::npos);
    EXPECT_NE(html.find("<h2>Marked rows (2)</h2>"), std::string::npos);
    EXPECT_NE(html.find("<tr><td>customer</td><td>only in B</td><td>-</td><td>index idx_g (gcode)</td></tr>"),
              std::string::npos);
    EXPECT_NE(html.find("<tr><td>customer.name</td><td>size A 50, B 40; default A (none), B &quot;&lt;x&gt;&quot;</td></tr>"),
              std::string::npos);
    EXPECT_FALSE(hasHangulBesides(html, data)) << html;

    const std::string csvText = readWhole(path("en.csv"));
    const auto csv = markedRowsOf(readCsv(csvText.substr(3)));
    ASSERT_EQ(csv.size(), 3u);
    EXPECT_EQ(csv[0][0], "A Table");
    EXPECT_EQ(csv[0][23], "Difference");
    EXPECT_EQ(csv[2][23], "index: A yes, B no; 거래처: index ix_이름 (이름) only in A");
    EXPECT_FALSE(hasHangulBesides(csvText, data)) << csvText;

    // The JSON is for programs: the same in every language.
    const std::string json = readWhole(path("en.json"));
    EXPECT_NE(json.find("\"description\":\"customer: index idx_g (gcode) only in B\""), std::string::npos) << json;
    auto korean = dexmira({"compare", a, b, "--report", path("ko.json")});
    EXPECT_EQ(indexesOf(path("ko.json")), indexesOf(path("en.json")));
}

TEST_F(Explain, FixScriptsOfBothDirectionsLeaveNoIndexDifference) {
    const std::string a = path("a.mdb"), b = path("b.mdb");
    makeStore(a, kReference);
    makeStore(b, kDrifted);
    for (const char* target : {"B", "A"}) {
        SCOPED_TRACE(target);
        const std::string script = path(std::string("fix") + target + ".sql");
        auto r = dexmira({"compare", a, b, "--fix-sql", script, "--fix-target", target});
        ASSERT_EQ(r.status, 1) << r.err;
        const std::string text = readWhole(script);
        // The foreign key that depends on the renamed key goes first and comes back last.
        const size_t dropFk = text.find("ALTER TABLE [orders] DROP CONSTRAINT [fk_order_group]\n");
        const size_t dropKey = text.find("ALTER TABLE [custgroup] DROP CONSTRAINT");
        const size_t addKey = text.find("ALTER TABLE [custgroup] ADD CONSTRAINT");
        const size_t addFk = text.find("ALTER TABLE [orders] ADD CONSTRAINT [fk_order_group] FOREIGN KEY ([gcode]) "
                                       "REFERENCES [custgroup] ([code])\n");
        ASSERT_NE(addFk, std::string::npos) << text;
        EXPECT_LT(dropFk, dropKey);
        EXPECT_LT(dropKey, addKey);
        EXPECT_LT(addKey, addFk);

        const std::string copy = path(std::string("copy") + target + ".mdb");
        fs::copy_file(target[0] == 'B' ? b : a, copy);
        auto applied = dexmira({"exec", copy, "--password", "kt5316"}, text);
        ASSERT_EQ(applied.status, 0) << applied.err << text;

        const std::string report = path(std::string("after") + target + ".json");
        auto again = target[0] == 'B' ? dexmira({"compare", a, copy, "--report", report})
                                      : dexmira({"compare", copy, b, "--report", report});
        // Only the tables of one side are left, which no script creates or drops.
        EXPECT_EQ(again.status, 1) << again.out;
        EXPECT_NE(again.out.find("count: 0\nother differences: "), std::string::npos) << again.out;
        EXPECT_NE(again.out.find("  table only in A (customer): memo_a\n  table only in B (reference): memo_b\n"),
                  std::string::npos)
            << again.out;
        EXPECT_EQ(again.out.find("  index: "), std::string::npos) << again.out;
        EXPECT_EQ(indexesOf(report),
                  "\"indexes\":{\"tablesOnlyInA\":[\"memo_a\"],\"tablesOnlyInB\":[\"memo_b\"],\"differences\":[]}");
    }
}

TEST_F(Explain, FixScriptIsEmptyWithoutDifferences) {
    const std::string a = path("a.mdb"), b = path("b.mdb");
    makeStore(a, kReference);
    makeStore(b, kReference);
    auto r = dexmira({"compare", a, b, "--fix-sql", path("fix.sql")});
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(fs::exists(path("fix.sql")));
    EXPECT_EQ(readWhole(path("fix.sql")), "");
}

TEST_F(Explain, OrphanRowsAreNamedBeforeTheForeignKey) {
    const std::string tables =
        "CREATE TABLE custgroup (code LONG NOT NULL, PRIMARY KEY (code))\n"
        "CREATE TABLE customer (code VARCHAR(6) NOT NULL, gcode LONG, PRIMARY KEY (code))\n";
    const std::string a = path("a.mdb"), b = path("b.mdb");
    makeStore(a, tables + "ALTER TABLE customer ADD CONSTRAINT fk_cust_group FOREIGN KEY (gcode) REFERENCES custgroup (code)\n");
    makeStore(b, tables + "INSERT INTO custgroup (code) VALUES (1)\n"
                          "INSERT INTO customer (code, gcode) VALUES ('c1', 1)\n"
                          "INSERT INTO customer (code, gcode) VALUES ('c2', NULL)\n"
                          "INSERT INTO customer (code, gcode) VALUES ('c3', 9)\n");
    const std::string text = fixScriptOf(a, b);
    EXPECT_EQ(text,
              "-- Makes the primary keys, foreign keys and indexes of B (" + b + ") those of A (" + a + ").\n"
              "-- customer: foreign key fk_cust_group (gcode) references custgroup (code) only in A\n"
              "-- customer holds 1 row whose ([gcode]) match no row of custgroup: this statement fails until it is "
              "mended\n"
              "ALTER TABLE [customer] ADD CONSTRAINT [fk_cust_group] FOREIGN KEY ([gcode]) REFERENCES [custgroup] "
              "([code])\n");
    auto applied = dexmira({"exec", b, "--password", "kt5316"}, text);
    EXPECT_EQ(applied.status, 2);
    EXPECT_NE(applied.err.find("violates referential integrity"), std::string::npos) << applied.err;
}

// A customer's names in a fix script: an index named so that a comment line
// breaks and a DROP TABLE stands on its own line, and one whose ']' closes
// the bracket and names another table. Applied as the README says, the
// script leaves every table and row where it was.
TEST_F(Explain, ACustomersNamesCannotMakeAFixScriptDropATable) {
    const std::string b = path("b.mdb");
    makeStore(b, "CREATE TABLE victim (v LONG)\nCREATE TABLE other (x LONG)\nINSERT INTO victim (v) VALUES (7)\n");
    const std::string newline = "nl\nDROP TABLE [victim]\n-- ", bracket = "br] ON [victim] ([v]) --";
    const std::string store = path("a.mdb"), jet = path("a-jet.mdb");
    makeStore(store, "CREATE TABLE victim (v LONG)\nCREATE TABLE other (x LONG)\n");
    auto crafted = dexmira({"exec", store, "--password", "kt5316", "CREATE INDEX `" + newline + "` ON victim (v)",
                            "CREATE INDEX `" + bracket + "` ON other (x)"});
    ASSERT_EQ(crafted.status, 0) << crafted.err;
    const dex::FieldDef v{"v", dex::daotype::Long, 4, "", false, false}, x{"x", dex::daotype::Long, 4, "", false, false};
    dex::test::WDatabase db = dex::test::fromTableDefs(
        {dex::TableDef{"victim", {v}, {dex::IndexDef{newline, false, false, false, {"v"}, "", {}}}},
         dex::TableDef{"other", {x}, {dex::IndexDef{bracket, false, false, false, {"x"}, "", {}}}}},
        [](const std::string&) { return std::vector<std::vector<dex::Value>>{}; });
    dex::test::writeJetFile(jet, db);

    for (const std::string& customer : {store, jet}) {
        SCOPED_TRACE(customer);
        const std::string script = path("fix.sql");
        auto r = dexmira({"compare", customer, b, "--fix-sql", script, "--fix-target", "B"});
        ASSERT_EQ(r.status, 1) << r.err;
        const std::string text = readWhole(script);
        EXPECT_EQ(text,
                  "-- Makes the primary keys, foreign keys and indexes of B (" + b + ") those of A (" + customer + ").\n"
                  "-- other: index br] ON [victim] ([v]) -- (x) only in A\n"
                  "-- cannot be applied (the index name 'br] ON [victim] ([v]) --' cannot be a Jet name: it holds "
                  "']'): CREATE INDEX [br]] ON [victim]] ([v]]) --] ON [other] ([x])\n"
                  "-- victim: index nl\\nDROP TABLE [victim]\\n--  (v) only in A\n"
                  "-- cannot be applied (the index name 'nl\\nDROP TABLE [victim]\\n-- ' cannot be a Jet name: it "
                  "holds a control character): CREATE INDEX [nl\\nDROP TABLE [victim]]\\n-- ] ON [victim] ([v])\n");
        auto applied = dexmira({"exec", b, "--password", "kt5316"}, text);
        EXPECT_EQ(applied.status, 0) << applied.err;
        EXPECT_EQ(dexmira({"exec", b, "--password", "kt5316", "SELECT v FROM victim"}).out, "v\n7\n");
        fs::remove(script);
    }
}

// exec applies a script all or nothing, and refuses what would undo that or
// switch off the store's protections.
TEST_F(Explain, ExecAppliesAScriptAllOrNothing) {
    const std::string b = path("b.mdb");
    makeStore(b, "CREATE TABLE victim (v LONG)\nCREATE TABLE other (x LONG)\nINSERT INTO victim (v) VALUES (7)\n");
    const std::string before = readWhole(b);
    auto failed = dexmira({"exec", b, "--password", "kt5316"},
                          "DELETE FROM victim\nALTER TABLE other ADD CONSTRAINT pk_other PRIMARY KEY (x)\n"
                          "CREATE TABLE victim (v LONG)\n");
    EXPECT_EQ(failed.status, 2);
    EXPECT_EQ(failed.out, "1\n0\n");
    EXPECT_EQ(failed.err, "Error -2147217900 (Table 'victim' already exists.) in: CREATE TABLE victim (v LONG)\n"
                          "nothing was changed: the statements are applied all or nothing\n");
    EXPECT_TRUE(readWhole(b) == before) << "the statements before the failing one stayed";

    for (const std::string sql : {"BEGIN TRANSACTION", "commit", "  /* x */ ROLLBACK", "SAVEPOINT s", "END"}) {
        auto r = dexmira({"exec", b, "--password", "kt5316", "DELETE FROM victim", sql});
        EXPECT_EQ(r.status, 2) << sql;
        EXPECT_EQ(r.err, "exec applies all the statements as one transaction, so none may begin or end one; nothing "
                         "was run: " + sql + "\n");
    }
    auto pragma = dexmira({"exec", b, "--password", "kt5316"}, "DELETE FROM victim\nPRAGMA writable_schema=1\n");
    EXPECT_EQ(pragma.status, 2);
    EXPECT_EQ(pragma.err, "Error -2147217900 (PRAGMA writable_schema is refused: a statement may read the store's "
                          "settings but not change them, so that its protections stay on.) in: PRAGMA "
                          "writable_schema=1\nnothing was changed: the statements are applied all or nothing\n");
    EXPECT_TRUE(readWhole(b) == before);

    auto done = dexmira({"exec", b, "--password", "kt5316"}, "DELETE FROM victim\nINSERT INTO victim (v) VALUES (8)\n"
                                                             "SELECT v FROM victim\n");
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(done.out, "1\n1\nv\n8\n");
    EXPECT_EQ(dexmira({"exec", b, "--password", "kt5316", "SELECT COUNT(*) AS n FROM victim"}).out, "n\n1\n");
}

// Tabs and line breaks in names are written as \t and \n in the text rows
// (the JSON keeps its own escapes); a name that is a formula stays text in
// the CSV report.
TEST_F(Explain, NamesWithTabsLineBreaksAndFormulasStayInTheirCells) {
    const std::string a = path("a.mdb"), b = path("b.mdb");
    makeStore(b, "CREATE TABLE plain (v LONG)\n");
    makeStore(a, "CREATE TABLE plain (v LONG)\n");
    auto crafted = dexmira({"exec", a, "--password", "kt5316", "CREATE TABLE `t\tab` (`f\nld` LONG, `back\\slash` LONG)",
                            "CREATE TABLE `=HYPERLINK(\"http://x\")` (`+SUM(1+1)` LONG, `@A1` LONG, `-2` LONG)"});
    ASSERT_EQ(crafted.status, 0) << crafted.err;

    auto structure = dexmira({"structure", a, "--password", "kt5316"});
    ASSERT_EQ(structure.status, 0) << structure.err;
    EXPECT_NE(structure.out.find("\nt\\tab\t\t\t\tf\\nld\tLong\t\t\tO\t\tt\\tab.f\\nld\n"), std::string::npos)
        << structure.out;
    EXPECT_NE(structure.out.find("\tback\\\\slash\t"), std::string::npos) << structure.out;
    std::istringstream rows(structure.out);
    for (std::string line; std::getline(rows, line);)
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 10) << line;
    auto json = dexmira({"structure", a, "--password", "kt5316", "--json"});
    EXPECT_NE(json.out.find("\"t\\tab\",\"\",\"\",\"\",\"f\\nld\""), std::string::npos) << json.out;

    auto compared = dexmira({"compare", a, b, "--one-sided", "--report", path("r.csv")});
    EXPECT_EQ(compared.status, 1) << compared.err;
    EXPECT_NE(compared.out.find("  t\\tab.f\\nld [...]"), std::string::npos) << compared.out;
    std::istringstream lines(compared.out);
    for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(line.rfind("A (customer): ", 0) == 0 || line.rfind("B (reference): ", 0) == 0 ||
                    line.rfind("Marks", 0) == 0 || line.rfind("count: ", 0) == 0 ||
                    line.rfind("other differences: ", 0) == 0 || line.rfind("  ", 0) == 0 ||
                    (line.size() > 7 && line.compare(5, 2, "  ") == 0))
            << "a row broke: " << line;

    const auto csv = readCsv(readWhole(path("r.csv")).substr(3));
    std::set<std::string> cells;
    for (const auto& record : csv) cells.insert(record.begin(), record.end());
    for (const char* cell : {"'=HYPERLINK(\"http://x\")", "'+SUM(1+1)", "'@A1", "'-2", "t\tab", "f\nld"})
        EXPECT_EQ(cells.count(cell), 1u) << cell;
    EXPECT_EQ(cells.count("=HYPERLINK(\"http://x\")"), 0u);
}

TEST_F(Explain, OrphanCountsLeaveRowsWithANullKeyPartAlone) {
    // Three rows with a Null in the key and two orphans, for a key of one
    // field and one of two: Null keys are never orphans.
    const std::string tables =
        "CREATE TABLE grp (code LONG NOT NULL, PRIMARY KEY (code))\n"
        "CREATE TABLE region (id LONG NOT NULL, zone LONG NOT NULL, PRIMARY KEY (id, zone))\n"
        "CREATE TABLE cust (code VARCHAR(6) NOT NULL, gcode LONG, rid LONG, rzone LONG, PRIMARY KEY (code))\n";
    const std::string a = path("a.mdb"), b = path("b.mdb");
    makeStore(a, tables + "ALTER TABLE cust ADD CONSTRAINT fk_grp FOREIGN KEY (gcode) REFERENCES grp (code)\n"
                          "ALTER TABLE cust ADD CONSTRAINT fk_region FOREIGN KEY (rid, rzone) REFERENCES region (id, zone)\n");
    makeStore(b, tables + "INSERT INTO grp (code) VALUES (1)\n"
                          "INSERT INTO region (id, zone) VALUES (1, 2)\n"
                          "INSERT INTO cust (code, gcode, rid, rzone) VALUES ('c1', 1, 1, 2)\n"
                          "INSERT INTO cust (code, gcode, rid, rzone) VALUES ('c2', NULL, NULL, 2)\n"
                          "INSERT INTO cust (code, gcode, rid, rzone) VALUES ('c3', NULL, 1, NULL)\n"
                          "INSERT INTO cust (code, gcode, rid, rzone) VALUES ('c4', NULL, NULL, NULL)\n"
                          "INSERT INTO cust (code, gcode, rid, rzone) VALUES ('c5', 7, 5, 5)\n"
                          "INSERT INTO cust (code, gcode, rid, rzone) VALUES ('c6', 8, 1, 6)\n");
    const std::string text = fixScriptOf(a, b);
    EXPECT_NE(text.find("-- cust holds 2 rows whose ([gcode]) match no row of grp: this statement fails until they "
                        "are mended\nALTER TABLE [cust] ADD CONSTRAINT [fk_grp]"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("-- cust holds 2 rows whose ([rid], [rzone]) match no row of region: this statement fails "
                        "until they are mended\nALTER TABLE [cust] ADD CONSTRAINT [fk_region]"),
              std::string::npos)
        << text;
}
