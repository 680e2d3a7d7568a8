// The dexmira executable's headless commands, run as a user would run them,
// with their exact output compared.
#include "UniqueFolder.h"
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;
namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Runs dexmira with the arguments, feeding input on stdin.
Result dexmira(const std::vector<std::string>& args, const std::string& input = "") {
    static int serial = 0;
    struct IoFolder {
        fs::path dir = dex::test::makeUniqueFolder("dexmira_cli_io");
        ~IoFolder() {
            std::error_code ec;
            fs::remove_all(dir, ec);
        }
    };
    static const IoFolder io;
    const fs::path& dir = io.dir;
    fs::create_directories(dir);
    const std::string tag = std::to_string(++serial);
    const fs::path in = dir / ("in" + tag), out = dir / ("out" + tag), err = dir / ("err" + tag);
    std::ofstream(in, std::ios::binary) << input;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv{const_cast<char*>(DEXMIRA_BIN)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    Result r;
    if (posix_spawn(&pid, DEXMIRA_BIN, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}

class Cli : public ::testing::Test {
protected:
    Cli() {
        dir = dex::test::makeUniqueFolder("dexmira_cli");
        fs::remove_all(dir);
        fs::create_directories(dir);
        a = (dir / "a.mdb").string();
        b = (dir / "b.mdb").string();
    }
    ~Cli() override { fs::remove_all(dir); }

    void makeStore(const std::string& path, const std::string& script) {
        Result c = dexmira({"create", path, "--password", "kt5316"});
        ASSERT_EQ(c.status, 0) << c.err;
        Result e = dexmira({"exec", path, "--password", "kt5316"}, script);
        ASSERT_EQ(e.status, 0) << e.err;
    }

    fs::path dir;
    std::string a, b;
};

const char* const kBase =
    "CREATE TABLE custgroup (code AUTOINCREMENT, name VARCHAR(20) DEFAULT \"\" NOT NULL, PRIMARY KEY (code))\n"
    "CREATE TABLE customer (code VARCHAR(6) DEFAULT \"\" NOT NULL, name VARCHAR(50) DEFAULT \"\" NOT NULL, "
    "gcode LONG DEFAULT 1 NOT NULL, memo TEXT, PRIMARY KEY (code))\n";

}  // namespace

TEST_F(Cli, StructurePrintsOneRowPerField) {
    makeStore(a, std::string(kBase) +
                     "ALTER TABLE customer ADD CONSTRAINT fk_cust_group FOREIGN KEY (gcode) REFERENCES custgroup (code)\n");
    Result r = dexmira({"structure", a, "--password", "kt5316"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "테이블명\tP\tF\tI\t필드명\tType\tSize\tDef\tNull\tZro\tRKEY\n"
              "custgroup\tv\t\t\tcode\tLong\t\t\tO\t\tcustgroup.code\n"
              "custgroup\t\t\t\tname\tText\t20\t\"\"\tX\tO\tcustgroup.name\n"
              "customer\tv\t\t\tcode\tText\t6\t\"\"\tX\tO\tcustomer.code\n"
              "customer\t\t\t\tname\tText\t50\t\"\"\tX\tO\tcustomer.name\n"
              "customer\t\tv\t\tgcode\tLong\t\t1\tX\t\tcustomer.gcode\n"
              "customer\t\t\t\tmemo\tMemo\t\t\tO\t\tcustomer.memo\n");
}

TEST_F(Cli, CompareFindsAnIndexMarkAndAShift) {
    makeStore(a, std::string(kBase) + "CREATE INDEX idx_name ON customer(name)\n");
    makeStore(b,
              "CREATE TABLE custgroup (code AUTOINCREMENT, name VARCHAR(20) DEFAULT \"\" NOT NULL, PRIMARY KEY (code))\n"
              "CREATE TABLE customer (code VARCHAR(6) DEFAULT \"\" NOT NULL, gcode LONG DEFAULT 1 NOT NULL, "
              "name VARCHAR(50) DEFAULT \"\" NOT NULL, memo TEXT, PRIMARY KEY (code))\n");
    Result r = dexmira({"compare", a, b});
    EXPECT_EQ(r.status, 1) << r.err;
    // name moved one place down in B: A's rows shift, B's gcode faces empty
    // cells; the index on name differs; gcode then faces memo, and A's memo is
    // pushed below the examined rows.
    EXPECT_EQ(r.out,
              "A (customer): " + a + "\nB (reference): " + b + "\n"
              "Marks [P F I]: primary key, foreign key, other index; '.' none. "
              "\"(none)\" faces a row shifted to line the two sides up.\n"
              "    4  (none)                !  customer.gcode [...]\n"
              "    5  customer.name [..I]   !  customer.name [...]\n"
              "    6  customer.gcode [...]  !  customer.memo [...]\n"
              "count: 3\n"
              "other differences: 1\n"
              "  index: customer: index idx_name (name) only in A\n");
    EXPECT_EQ(r.err, "3건의 다른곳이 발견 되었습니다.\n") << "message boxes become lines on stderr";

    Result j = dexmira({"compare", a, b, "--json"});
    EXPECT_EQ(j.status, 1);
    EXPECT_NE(j.out.find("\"paths\":{\"A\":\"" + a + "\",\"B\":\"" + b + "\"}"), std::string::npos) << j.out;
    EXPECT_NE(j.out.find("\"count\":3"), std::string::npos);
    EXPECT_NE(j.out.find("{\"row\":4,\"hidden\":false,\"cells\":[\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"!\","
                         "\"customer\",\"\",\"\",\"\",\"gcode\",\"Long\",\"\",\"1\",\"X\",\"\",\"customer.gcode\"],"
                         "\"colors\":{\"17\":\"&H00FFC0C0\"}}"),
              std::string::npos)
        << j.out;
    EXPECT_NE(j.out.find("{\"row\":1,\"hidden\":true,"), std::string::npos) << "hidden rows are listed too";
    EXPECT_NE(j.out.find("\"active\":{\"column\":12,\"row\":4}"), std::string::npos);
    EXPECT_NE(j.out.find("\"messages\":[{\"title\":\"Dexmira\",\"text\":\"3건의 다른곳이 발견 되었습니다.\",\"icon\":\"none\"}]"),
              std::string::npos);
    EXPECT_TRUE(j.err.empty()) << "with --json, messages go into the object";
}

TEST_F(Cli, IdenticalStoresExitZero) {
    makeStore(a, kBase);
    makeStore(b, kBase);
    Result r = dexmira({"compare", a, b});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "두 DB의 구조가 일치 합니다.\n");
}

TEST_F(Cli, OneDifferenceExitsOne) {
    makeStore(a, std::string(kBase) + "CREATE INDEX idx_name ON customer(name)\n");
    makeStore(b, kBase);
    Result r = dexmira({"compare", a, b});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "1건의 다른곳이 발견 되었습니다.\n");
    EXPECT_NE(r.out.find("    4  customer.name [..I]  !  customer.name [...]\ncount: 1\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nother differences: 1\n  index: customer: index idx_name (name) only in A\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(dexmira({"compare", a, b, "--json"}).status, 1);
}

TEST_F(Cli, FailuresExitTwoWithTheMessageOnStderr) {
    Result missing = dexmira({"compare", a, b});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "파일을 찾을 수 없습니다. / " + a + "\n");

    makeStore(a, kBase);
    Result wrong = dexmira({"structure", a, "--password", "nope"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.err, "Error 3031 (Not a valid password for '" + a + "'.) in procedure MyOpenDB of Module modCmpDB\n");

    Result bad = dexmira({"exec", a, "--password", "kt5316", "CREATE TABLE customer (x LONG)"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("-2147217900"), std::string::npos) << bad.err;

    Result unknown = dexmira({"frobnicate"});
    EXPECT_EQ(unknown.status, 2);
}

TEST_F(Cli, CompactKeepsNamePasswordStructureAndRowsAndShrinks) {
    std::string script = std::string(kBase) + "CREATE INDEX idx_name ON customer(name)\n";
    for (int i = 0; i < 400; ++i)
        script += "INSERT INTO customer (code, name) VALUES ('" + std::to_string(100000 + i) + "', '" +
                  std::string(200, 'x') + "')\n";
    script += "DELETE * FROM customer WHERE code >= '100100'\n";
    makeStore(a, script);
    const auto before = fs::file_size(a);
    const std::string structure = dexmira({"structure", a, "--password", "kt5316"}).out;

    Result no = dexmira({"compact", a});
    EXPECT_EQ(no.status, 2) << "without --yes the question is answered No";
    EXPECT_EQ(fs::file_size(a), before);

    Result r = dexmira({"compact", a, "--yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("압축 및 복구를 완료하였습니다."), std::string::npos);
    EXPECT_LT(fs::file_size(a), before) << "deleted rows' pages are given back";
    EXPECT_FALSE(fs::exists(dir / "a_compactTemp.mdb"));
    EXPECT_EQ(dexmira({"structure", a, "--password", "kt5316"}).out, structure) << "tables, fields, indexes";
    EXPECT_EQ(dexmira({"structure", a, "--password", "wrong"}).status, 2) << "the password comes along";
    Result rows = dexmira({"exec", a, "--password", "kt5316", "UPDATE customer SET name = name"});
    EXPECT_EQ(rows.out, "100\n") << "every remaining row is kept";
}

TEST_F(Cli, CompactRefusesPathsItCannotUse) {
    const std::string upper = (dir / "UPPER.MDB").string();
    makeStore(upper, kBase);
    Result r = dexmira({"compact", upper, "--yes"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("압축 및 복구를 할 수 없는 파일 이름입니다."), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(upper));

    const std::string text = (dir / "x.txt").string();
    std::ofstream(text) << "t";
    Result t = dexmira({"compact", text, "--yes"});
    EXPECT_EQ(t.err, "정말 압축 및 복구를 하시겠습니까?\n-> Yes (--yes)\nmdb파일이 아닙니다. / " + text + "\n");

    const fs::path jet = fs::path(DEX_JET_FIXTURES) / "npm-mdb_fruit.mdb";
    if (fs::exists(jet)) {
        const std::string copy = (dir / "fruit.mdb").string();
        fs::copy_file(jet, copy);
        const auto size = fs::file_size(copy);
        // A real Jet file is compacted from its model, the original kept beside it.
        Result j = dexmira({"compact", copy, "--yes"});
        EXPECT_EQ(j.status, 0) << j.err;
        EXPECT_NE(j.err.find("압축 및 복구를 완료하였습니다."), std::string::npos) << j.err;
        EXPECT_LT(fs::file_size(copy), size);
        EXPECT_EQ(fs::file_size(dir / "fruit.bak.mdb"), size);
    }
}

namespace {
// Builds the main job's pair with the sample scripts.
void makePair(const fs::path& out) {
    const std::string script = std::string(DEX_SAMPLES_DIR) + "/make-pair.sh";
    Result r;
    pid_t pid = 0;
    std::vector<char*> argv{const_cast<char*>("bash"), const_cast<char*>(script.c_str()),
                            const_cast<char*>(DEXMIRA_BIN), const_cast<char*>(out.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ASSERT_EQ(posix_spawnp(&pid, "bash", &actions, nullptr, argv.data(), environ), 0);
    int status = 0;
    waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
}  // namespace

TEST_F(Cli, ProductComparisonMigratesCopiesAndLeavesTheFilesAlone) {
    makePair(dir);
    const fs::path ref = dir / "reference.mdb", cust = dir / "customer.mdb";
    const std::string refBytes = slurp(ref), custBytes = slurp(cust);
    // A folder an earlier version left open to others.
    fs::create_directory(dir / "referencetemp");
    fs::permissions(dir / "referencetemp", fs::perms(0755), fs::perm_options::replace);

    Result lite = dexmira({"compare", ref.string(), cust.string(), "--product", "VelmoraLite"});
    EXPECT_EQ(lite.status, 1) << lite.err;
    // The copies of customer data are the user's only, and the output says where they are.
    EXPECT_EQ(fs::status(dir / "referencetemp").permissions(), fs::perms(0700));
    for (const char* copy : {"temp(A).mdb", "temp(B).mdb"})
        EXPECT_EQ(fs::status(dir / "referencetemp" / copy).permissions(), fs::perms(0600)) << copy;
    const std::string copies = "\ncopies: " + fs::canonical(dir / "referencetemp").string() + " (";
    EXPECT_NE(lite.out.find(copies), std::string::npos) << lite.out;
    EXPECT_NE(lite.out.find("B)\n", lite.out.find(copies)), std::string::npos) << lite.out;
    Result json = dexmira({"compare", ref.string(), cust.string(), "--product", "VelmoraLite", "--json"});
    EXPECT_NE(json.out.find("\"files\":{\"A\":\"" + ref.string() + "\",\"B\":\"" + cust.string() + "\"}"),
              std::string::npos)
        << "the JSON names the user's files beside the copies";
    Result code = dexmira({"compare", ref.string(), cust.string(), "--product", "vardoII"});
    EXPECT_EQ(code.out, lite.out) << "VelmoraLite runs the vardoII catalogue";
    EXPECT_EQ(lite.err, "4건의 다른곳이 발견 되었습니다.\n");
    EXPECT_NE(lite.out.find("customer.compname [...]  !  customer.compname [..I]"), std::string::npos) << lite.out;
    EXPECT_NE(lite.out.find("invn_edit.code [P..]"), std::string::npos);
    EXPECT_NE(lite.out.find("(none)"), std::string::npos) << "the reordered table shows a shift";

    Result plain = dexmira({"compare", ref.string(), cust.string()});
    EXPECT_EQ(plain.status, 1) << "without a product the files themselves are compared";
    EXPECT_EQ(slurp(ref), refBytes) << "the user's files are never written";
    EXPECT_EQ(slurp(cust), custBytes);
    EXPECT_TRUE(fs::exists(dir / "referencetemp" / "temp(A).mdb"));
    Result version = dexmira({"exec", (dir / "referencetemp" / "temp(B).mdb").string(), "--password", "kt5316",
                              "UPDATE dbversion SET ver = ver WHERE dbid = 'main' AND ver = 141"});
    EXPECT_EQ(version.out, "1\n") << "the copy was brought to version 141";

    Result unknown = dexmira({"compare", ref.string(), cust.string(), "--product", "Nope"});
    EXPECT_EQ(unknown.status, 2);
}

// Nothing the run knows is hidden: beside the marked rows, compare names
// every other difference and exits 1 whenever anything differs.
TEST_F(Cli, EveryOtherDifferenceIsPrintedAndCounted) {
    const std::string c = (dir / "c.mdb").string();
    makeStore(a, kBase);  // the customer's database lost a table
    makeStore(b, std::string(kBase) + "CREATE TABLE invn_edit (code LONG)\n");
    makeStore(c, "CREATE TABLE custgroup (code AUTOINCREMENT, name VARCHAR(30) DEFAULT \"\" NOT NULL, PRIMARY KEY (code))\n"
                 "CREATE TABLE customer (code VARCHAR(6) DEFAULT \"\" NOT NULL, name VARCHAR(50) DEFAULT \"\" NOT NULL, "
                 "gcode SMALLINT DEFAULT 1 NOT NULL, memo TEXT, PRIMARY KEY (code))\n");

    Result missing = dexmira({"compare", a, b});
    EXPECT_EQ(missing.status, 1) << missing.err;
    EXPECT_EQ(missing.err, "두 DB의 구조가 일치 합니다.\n") << "the grid's own message stays";
    EXPECT_NE(missing.out.find("count: 0\nother differences: 1\n  table only in B (reference): invn_edit\n"),
              std::string::npos)
        << missing.out;

    Result settings = dexmira({"compare", a, c});
    EXPECT_EQ(settings.status, 1) << settings.err;
    EXPECT_NE(settings.out.find("count: 0\nother differences: 2\n"
                                "  field settings: custgroup.name: size A 20, B 30\n"
                                "  field settings: customer.gcode: type A Long, B Integer\n"),
              std::string::npos)
        << settings.out;
    Result json = dexmira({"compare", a, c, "--json"});
    EXPECT_EQ(json.status, 1);
    EXPECT_NE(json.out.find("\"otherDifferences\":{\"tablesOnlyInA\":0,\"tablesOnlyInB\":0,\"fieldsOnlyInA\":0,"
                            "\"fieldsOnlyInB\":0,\"fieldSettings\":2,\"indexDetails\":0,\"total\":2},\"differs\":true"),
              std::string::npos)
        << json.out;

    Result same = dexmira({"compare", a, a});
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_NE(same.out.find("count: 0\nother differences: 0\n"), std::string::npos) << same.out;
    EXPECT_NE(dexmira({"compare", a, a, "--json"}).out.find("\"total\":0},\"differs\":false"), std::string::npos);
}

// The report's Result comes first and states every difference.
TEST_F(Cli, ReportsStateTheWholeResultFirst) {
    makeStore(a, kBase);
    makeStore(b, std::string(kBase) + "CREATE TABLE invn_edit (code LONG)\n");
    const std::string html = (dir / "r.html").string(), csv = (dir / "r.csv").string(),
                      json = (dir / "r.json").string();
    for (const auto& report : {html, csv, json}) {
        Result r = dexmira({"compare", a, b, "--report", report});
        EXPECT_EQ(r.status, 1) << r.err;
    }
    const std::string page = slurp(html);
    const size_t result = page.find("<h2>결과</h2>\n<p class=\"verdict\"><b>두 DB는 다릅니다: 표시된 행 0, 그 밖의 차이 1</b></p>\n"
                                    "<p>두 DB의 구조가 일치 합니다.</p>\n"
                                    "<p>그 밖의 차이: B (기준)에만 있는 테이블 1</p>\n"
                                    "<ul class=\"others\">\n<li>B (기준)에만 있는 테이블: invn_edit</li>\n</ul>\n");
    ASSERT_NE(result, std::string::npos) << page;
    EXPECT_LT(result, page.find("<h2>", page.find("<h1>"))  + 1) << "the result is the first section";
    EXPECT_NE(page.find("<tr><th>A (고객)</th><td class=\"path\">" + a + "</td></tr>"), std::string::npos) << page;
    EXPECT_NE(page.find("<tr><th>B (기준)</th><td class=\"path\">" + b + "</td></tr>"), std::string::npos);
    EXPECT_EQ(slurp(csv).rfind("\xEF\xBB\xBF결과,\"두 DB는 다릅니다: 표시된 행 0, 그 밖의 차이 1\"\r\n"
                               "결과,B (기준)에만 있는 테이블: invn_edit\r\n\r\n",
                               0),
              0u)
        << slurp(csv);
    EXPECT_EQ(slurp(json).rfind("{\"result\":{\"verdict\":\"The databases differ: 0 marked rows, 1 other differences\","
                                "\"message\":\"두 DB의 구조가 일치 합니다.\","
                                "\"differences\":[\"table only in B (reference): invn_edit\"]},",
                                0),
              0u)
        << slurp(json);
}

// The README's example: A is the customer's database, B the reference, and
// the fix script by default makes the customer's keys the reference's.
TEST_F(Cli, FixScriptMakesTheCustomersDatabaseLikeTheReferenceByDefault) {
    makePair(dir);
    const std::string customer = (dir / "customer.mdb").string(), reference = (dir / "reference.mdb").string();
    const std::string fix = (dir / "fix.sql").string(), fixed = (dir / "fixed.mdb").string();
    Result r = dexmira({"compare", customer, reference, "--fix-sql", fix});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(slurp(fix), "-- Makes the primary keys, foreign keys and indexes of A (" + customer + ") those of B (" +
                              reference + ").\n"
                              "-- customer: index idx_customer_compname (compname) only in A\n"
                              "DROP INDEX [idx_customer_compname] ON [customer]\n"
                              "-- invn_edit: primary key PrimaryKey (code) only in B\n"
                              "ALTER TABLE [invn_edit] ADD CONSTRAINT [PrimaryKey] PRIMARY KEY ([code])\n");
    fs::copy_file(customer, fixed);
    Result applied = dexmira({"exec", fixed, "--password", "kt5316"}, slurp(fix));
    ASSERT_EQ(applied.status, 0) << applied.err;
    Result again = dexmira({"compare", fixed, reference});
    EXPECT_EQ(again.out.find("index: "), std::string::npos) << "no key or index differs any more:\n" << again.out;
    EXPECT_EQ(again.out.find("[..I]"), std::string::npos) << again.out;
    // The other direction stays available.
    Result other = dexmira({"compare", customer, reference, "--fix-sql", fix, "--fix-target", "B"});
    EXPECT_EQ(other.status, 1);
    EXPECT_NE(slurp(fix).find("indexes of B (" + reference + ") those of A (" + customer + ")"), std::string::npos);
}

// A customer's file of its own password: compare takes it for this run.
TEST_F(Cli, PasswordsOfTheTwoFiles) {
    Result c = dexmira({"create", a, "--password", "own pw"});
    ASSERT_EQ(c.status, 0) << c.err;
    ASSERT_EQ(dexmira({"exec", a, "--password", "own pw"}, kBase).status, 0);
    makeStore(b, kBase);
    Result refused = dexmira({"compare", a, b});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("Error 3031 (Not a valid password"), std::string::npos) << refused.err;
    Result given = dexmira({"compare", a, b, "--password-a", "own pw"});
    EXPECT_EQ(given.status, 0) << given.err;
    EXPECT_EQ(given.err, "두 DB의 구조가 일치 합니다.\n");
    Result swapped = dexmira({"compare", b, a, "--password-b", "own pw", "--password-a", "kt5316"});
    EXPECT_EQ(swapped.status, 0) << swapped.err;

    // With a product the copy is made with the file's password and given the product's.
    const std::string customer = (dir / "customer.mdb").string(), reference = (dir / "reference.mdb").string();
    std::ifstream base(fs::path(DEX_SAMPLES_DIR) / "vardoII" / "base.sql");
    const std::string script((std::istreambuf_iterator<char>(base)), std::istreambuf_iterator<char>());
    ASSERT_EQ(dexmira({"create", customer, "--password", "own pw"}).status, 0);
    ASSERT_EQ(dexmira({"exec", customer, "--password", "own pw"}, script).status, 0);
    makeStore(reference, script);
    Result product = dexmira({"compare", customer, reference, "--product", "VelmoraII", "--password-a", "own pw"});
    EXPECT_EQ(product.status, 0) << product.err << product.out;
    EXPECT_EQ(dexmira({"structure", customer, "--password", "own pw"}).status, 0) << "the file keeps its password";
    EXPECT_EQ(dexmira({"compare", customer, reference, "--product", "VelmoraII"}).status, 2);
}
