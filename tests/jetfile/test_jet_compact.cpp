// Compact and repair of real Jet files through the command line: every
// Access-made file compacted keeps its tables, rows, queries, relationships,
// properties and permissions, read alike by our reader, mdbtools and
// mdb-reader; damaged indexes rebuilt, or the compaction refused naming
// them; the swap that puts the new file in place under kills, a full disk,
// locks and a folder that cannot be written.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include "AccessMadeFiles.h"
#include "IndexWalk.h"
#include "JetCheck.h"
#include "JetDamage.h"
#include "JetFile.h"
#include "JetModel.h"
#include "JetRows.h"
#include "JetValues.h"
#include "JetWriter.h"
#include "OtherReaders.h"
#include "RunProgram.h"
#include "UniqueFolder.h"

namespace dex::test {

namespace fs = std::filesystem;
using namespace dex::jetfile;

namespace {

const fs::path kFixtures = DEX_JET_FIXTURES;
const fs::path kMdbReader = DEX_MDB_READER_DIR;
const std::string kDexmira = DEXMIRA_BIN;

struct Folder : test::UniqueFolder {
    Folder() : UniqueFolder("dex-compact") {}
};

bool have(const std::string& tool) { return haveTool(tool); }
bool haveMdbReader() { return fs::exists(kMdbReader / "node_modules" / "mdb-reader" / "package.json") && have("node"); }

std::string passwordFor(const fs::path& f) { return fixturePassword(f); }

std::vector<fs::path> accessMadeFiles() { return test::accessMadeFiles(kFixtures); }

test::ProgramResult compact(const std::string& file, const std::string& password = {}, long sizeLimit = 0) {
    std::vector<std::string> args{"compact", file, "--yes"};
    if (!password.empty()) args.insert(args.end(), {"--password", password});
    return test::runProgram(kDexmira, args, "", sizeLimit);
}

std::string text(const JetValue& v) {
    if (const auto* b = std::get_if<JetBytes>(&v)) {
        std::string hex;
        for (unsigned char c : b->bytes) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
        return hex;
    }
    return std::to_string(v.index()) + ":" + valueToText(engineValue(v));
}

// Everything a compaction keeps, as comparable text: the header's sort
// order, code page and password; every table's rows (in stored order) and
// raw property blob; every other catalogue object with all its values;
// permissions, saved queries and relationships with object ids replaced by
// the objects' names (tables get new ids).
std::string keptText(const JetModel& m) {
    std::string out = "sort " + std::to_string(m.header().sortOrder) + " cp " + std::to_string(m.header().codePage) +
                      " pw " + std::to_string(std::hash<std::string>()(m.header().password)) + "\n";
    std::map<int64_t, std::string> names;
    for (const JetCatalogEntry& e : m.catalog()) names[e.id] = std::to_string(e.type) + " " + e.name;
    auto nameOf = [&](const JetValue& v) {
        const auto* id = std::get_if<int64_t>(&v);
        const auto it = id ? names.find(*id) : names.end();
        return it == names.end() ? text(v) : "<" + it->second + ">";
    };
    // The catalogue's own four tables get catalogue rows of the new file
    // (its dates and owner), as a new database has them.
    auto catalogTable = [](const std::string& n) {
        return n == "MSysObjects" || n == "MSysACEs" || n == "MSysQueries" || n == "MSysRelationships";
    };
    std::vector<std::string> objects;
    for (const JetCatalogEntry& e : m.catalog()) {
        if (e.type == kLocalTableType && catalogTable(e.name)) continue;
        std::string line = std::to_string(e.type) + " " + e.name + ":";
        for (size_t i = 0; i < e.values.size(); ++i) {
            const std::string& column = m.catalogColumns()[i];
            if (column == "Id" && e.type == kLocalTableType) continue;
            line += " " + column + "=" + (column == "ParentId" ? nameOf(e.values[i]) : text(e.values[i]));
        }
        objects.push_back(line);
    }
    std::sort(objects.begin(), objects.end());
    for (const auto& o : objects) out += o + "\n";
    for (const char* table : {"MSysACEs", "MSysQueries", "MSysRelationships"}) {
        const JetRowSet set = m.rowSet(table);
        const int id = set.column("ObjectId");
        std::vector<std::string> rows;
        for (const auto& row : set.rows) {
            std::string line = table;
            for (size_t i = 0; i < row.size(); ++i)
                line += " " + (static_cast<int>(i) == id ? nameOf(row[i]) : text(row[i]));
            rows.push_back(line);
        }
        std::sort(rows.begin(), rows.end());
        for (const auto& r : rows) out += r + "\n";
    }
    for (const JetModelTable& t : m.tables()) {
        const std::string n = t.name;
        if (catalogTable(n)) continue;
        out += "table " + n + "\n";
        // The navigation tables' object ids.
        const JetRowSet set = m.rowSet(n);
        const int id = n == "MSysNavPaneGroupToObjects" ? set.column("ObjectID")
                       : n == "MSysNavPaneObjectIDs"    ? set.column("Id")
                                                        : -1;
        m.readRows(t, [&](const RowPlace&, std::vector<JetValue>& row) {
            for (size_t i = 0; i < row.size(); ++i)
                out += " " + (static_cast<int>(i) == id ? nameOf(row[i]) : text(row[i]));
            out += "\n";
            return true;
        });
    }
    return out;
}

// Rows marked deleted on the tables' data pages.
size_t deletedRows(const JetModel& m) {
    size_t n = 0;
    for (const JetModelTable& t : m.tables())
        for (uint32_t p : t.dataPages)
            for (const RowSlot& s : rowSlots(m.pages().page(p), m.jet3()))
                if (s.flags & 0x8000) ++n;
    return n;
}

std::string mdbReaderDump(const std::string& file, const std::string& password) {
    return test::mdbReaderDump(kMdbReader, file, password);
}

// The key bytes of an index tree, sorted (the rows' places left out).
std::vector<std::vector<uint8_t>> keysOf(const JetModel& m, const JetModelTable& t, size_t physical) {
    const PageSource source = [&](uint32_t p) -> std::vector<uint8_t> {
        const PageView v = m.pages().page(p);
        return std::vector<uint8_t>(v.data(), v.data() + v.size());
    };
    const IndexWalk w = walkIndexTree(t.def.physicalIndexes[physical].rootPage, false, m.pages().count(), t.page, source);
    EXPECT_TRUE(w.sound()) << t.name;
    std::vector<std::vector<uint8_t>> keys;
    for (const auto& e : w.entries) keys.push_back(e.key);
    std::sort(keys.begin(), keys.end());
    return keys;
}

}  // namespace

TEST(JetCompact, EveryAccessMadeFileKeepsEverythingAndLosesItsDeletedRows) {
    const auto files = accessMadeFiles();
    if (files.empty()) GTEST_SKIP() << "the Access fixture folders under " << kFixtures.parent_path() << " are absent";
    const bool mdbtools = have("mdb-export"), mdbReader = haveMdbReader();
    Folder dir;
    size_t deletedBefore = 0;
    for (const fs::path& source : files) {
        SCOPED_TRACE(source.filename().string());
        const std::string password = passwordFor(source);
        const std::string file = dir.file(source.filename().string());
        fs::copy_file(source, file);
        const auto r = compact(file, password);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string backup = dir.file(source.stem().string() + ".bak.mdb");
        EXPECT_NE(r.err.find("압축 및 복구를 완료하였습니다."), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(backup), std::string::npos) << "the message names the backup: " << r.err;
        EXPECT_TRUE(test::readWhole(backup) == test::readWhole(source)) << "the backup is the original, byte for byte";
        EXPECT_LE(fs::file_size(file), fs::file_size(source));

        const auto before = JetModel::open(source.string(), password);
        const auto after = JetModel::open(file, password);
        EXPECT_EQ(keptText(*after), keptText(*before));
        EXPECT_EQ(after->header().creationDate, before->header().creationDate);
        deletedBefore += deletedRows(*before);
        EXPECT_EQ(deletedRows(*after), 0u);
        const JetCheckReport report = checkJetFile(*after);
        EXPECT_TRUE(report.sound()) << (report.problems.empty() ? "" : report.problems.front().text());
        const auto structure = [&](const std::string& f) {
            return test::runProgram(kDexmira, {"structure", f, "--password", password.empty() ? "x" : password}).out;
        };
        EXPECT_EQ(structure(file), structure(source.string()));
        if (mdbtools) EXPECT_EQ(mdbExportAll(file), mdbExportAll(source.string()));
        if (mdbReader) EXPECT_EQ(mdbReaderDump(file, password), mdbReaderDump(source.string(), password));
    }
    EXPECT_GT(deletedBefore, 300u) << "the fixtures hold deleted rows, which the compaction drops";
    if (!mdbtools) GTEST_SKIP() << "mdbtools (mdb-export) not installed: the compacted files were not read by it";
    if (!mdbReader) GTEST_SKIP() << "node or the npm package mdb-reader (scripts/install-mdb-reader.sh) is missing";
}

TEST(JetCompact, KeysOfAnotherSortOrderAreCarriedOverAndPasswordsTried) {
    const fs::path source = kFixtures / "npm-node-adodb.mdb";
    if (!fs::exists(source)) GTEST_SKIP() << source << " is absent";
    Folder dir;
    const std::string file = dir.file("adodb.mdb");
    fs::copy_file(source, file);
    const auto r = compact(file);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto before = JetModel::open(source.string(), ""), after = JetModel::open(file, "");
    EXPECT_EQ(after->header().sortOrder, 0x804);
    int carried = 0;
    for (const JetModelTable& t : before->tables())
        for (size_t i = 0; i < t.def.physicalIndexes.size(); ++i) {
            bool text = false;
            for (const auto& k : t.def.physicalIndexes[i].keys)
                for (const auto& c : t.def.columns)
                    text = text || (c.number == k.column && c.type == coltype::Text);
            if (!text) continue;
            SCOPED_TRACE(t.name + " #" + std::to_string(i));
            const JetModelTable* u = after->table(t.name);
            ASSERT_NE(u, nullptr);
            EXPECT_EQ(keysOf(*after, *u, i), keysOf(*before, t, i)) << "the same key bytes, none invented";
            ++carried;
        }
    EXPECT_GE(carried, 4);

    // A database password: the product password is tried first, then --password.
    const fs::path locked = kFixtures / "mdbreader_V2003_with-password.mdb";
    if (!fs::exists(locked)) return;
    const std::string withPassword = dir.file("locked.mdb");
    fs::copy_file(locked, withPassword);
    const auto refused = compact(withPassword);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("Error 3031"), std::string::npos) << refused.err;
    EXPECT_TRUE(test::readWhole(withPassword) == test::readWhole(locked));
    EXPECT_FALSE(fs::exists(dir.file("locked.bak.mdb")));
    EXPECT_EQ(compact(withPassword, "password").status, 0);
    EXPECT_NO_THROW(JetModel::open(withPassword, "password"));
    EXPECT_THROW(JetModel::open(withPassword, ""), DbError) << "the password is kept";
}

// A table whose text index spans many leaves under a node page.
TEST(JetCompact, DamagedIndexesAreRebuiltOrNamed) {
    Folder dir;
    dex::test::WDatabase db;
    db.tables = {dex::test::labelTable("labels", 3000)};
    db.tables[0].indexes = {{"PrimaryKey", true, true, {"id"}, {}}, {"label", false, false, {"label"}, {}}};
    const std::string file = dir.file("labels.mdb");
    dex::test::writeJetFile(file, db);
    // A leaf dropped from the label index's chain.
    {
        const auto model = JetModel::open(file, "");
        const JetModelTable& t = *model->table("labels");
        std::string bytes = dex::test::readFileBytes(file);
        std::vector<uint32_t> leaves;
        for (uint32_t p : readUsageMap(model->pages(), t.def.physicalIndexes[1].usageMap, false))
            if (bytes[p * 4096] == 0x04) leaves.push_back(p);
        ASSERT_GE(leaves.size(), 3u);
        uint32_t first = leaves[0];
        auto get32 = [&](size_t at) {
            return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 |
                                         static_cast<uint8_t>(bytes[at + 2]) << 16 | static_cast<uint8_t>(bytes[at + 3]) << 24);
        };
        auto set32 = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
        };
        for (uint32_t p : leaves)
            if (get32(p * 4096 + 12) == 0) first = p;
        const uint32_t second = get32(first * 4096 + 16), third = get32(second * 4096 + 16);
        set32(first * 4096 + 16, third);
        set32(third * 4096 + 12, first);
        dex::test::writeFileBytes(file, bytes);
    }
    dex::test::deleteFirstRow(file, "labels");  // and an entry left for a deleted row
    ASSERT_FALSE(checkJetFile(*JetModel::open(file, "")).sound());
    const std::string damaged = test::readWhole(file);
    const auto r = compact(file);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("table 'labels', index 'label'"), std::string::npos) << "the message names what was rebuilt: " << r.err;
    const auto after = JetModel::open(file, "");
    EXPECT_TRUE(checkJetFile(*after).sound());
    EXPECT_EQ(after->rowSet("labels").rows.size(), 2999u);
    EXPECT_TRUE(test::readWhole(dir.file("labels.bak.mdb")) == damaged);

    // An index whose keys cannot be computed here (sort order 0x804) cannot
    // be rebuilt: the compaction stops naming it, the file unchanged.
    const fs::path source = kFixtures / "npm-node-adodb.mdb";
    if (!fs::exists(source)) GTEST_SKIP() << source << " is absent";
    const std::string adodb = dir.file("adodb.mdb");
    fs::copy_file(source, adodb);
    {
        const auto model = JetModel::open(adodb, "");
        const JetModelTable& t = *model->table("MSysAccessStorage");
        std::string bytes = dex::test::readFileBytes(adodb);
        const uint32_t page = t.dataPages.front();
        const auto slots = rowSlots(model->pages().page(page), false);
        size_t live = 0;
        while (live < slots.size() && (slots[live].flags & 0xC000)) ++live;
        ASSERT_LT(live, slots.size());
        bytes[page * 4096 + 14 + 2 * live + 1] = static_cast<char>(bytes[page * 4096 + 14 + 2 * live + 1] | 0x80);
        dex::test::writeFileBytes(adodb, bytes);
    }
    const std::string bytes = test::readWhole(adodb);
    const auto refused = compact(adodb);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("table 'MSysAccessStorage', index 'ParentIdName' is damaged"), std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("cannot be rebuilt here"), std::string::npos) << refused.err;
    EXPECT_TRUE(test::readWhole(adodb) == bytes);
    EXPECT_FALSE(fs::exists(dir.file("adodb.bak.mdb")));
}

// A unique index whose rows repeat a key cannot be built again as unique:
// check names it (exit 1), and the compaction stops naming it, the file unchanged.
TEST(JetCompact, AUniqueIndexWithARepeatedKeyStopsTheCompaction) {
    Folder dir;
    dex::test::WDatabase db;
    db.tables = {dex::test::labelTable("labels", 3000), dex::test::labelTable("other", 10)};
    db.tables[0].rows[2500][1] = std::string("label 10");
    db.tables[0].indexes = {{"PrimaryKey", true, true, {"id"}, {}}, {"label", false, false, {"label"}, {}}};
    const std::string file = dir.file("labels.mdb");
    dex::test::writeJetFile(file, db);
    dex::test::makeIndexUnique(file, "labels", 1);

    const auto checked = test::runProgram(kDexmira, {"check", file}, "");
    EXPECT_EQ(checked.status, 1) << checked.out << checked.err;
    EXPECT_NE((checked.out + checked.err).find("table 'labels', index 'label', page "), std::string::npos) << checked.out;

    const std::string bytes = test::readWhole(file);
    const auto r = compact(file);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("table 'labels', index 'label' is unique, but two of its rows have the same key"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("have the same label (key "), std::string::npos) << "the rows and the column named: " << r.err;
    EXPECT_NE(r.err.find("cannot be rebuilt as a unique index"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("The file was left unchanged."), std::string::npos) << r.err;
    EXPECT_TRUE(test::readWhole(file) == bytes);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"labels.mdb"}) << "no backup, no new file left";
}

TEST(JetCompact, Jet3FilesAndLockedFilesAreRefusedUntouched) {
    Folder dir;
    dex::test::WDatabase db;
    db.version = 0;
    db.tables = {dex::test::labelTable("labels", 10)};
    const std::string jet3 = dir.file("old97.mdb");
    dex::test::writeJetFile(jet3, db);
    const std::string before = test::readWhole(jet3);
    auto r = compact(jet3);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Jet 3 (Access 97)"), std::string::npos) << r.err;
    EXPECT_TRUE(test::readWhole(jet3) == before);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"old97.mdb"});
    // Nor are they migrated or changed by statements.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"migrate", jet3, "--product", "VelmoraII"},
          std::vector<std::string>{"exec", jet3, "DELETE FROM labels"}}) {
        r = test::runProgram(kDexmira, args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_NE(r.err.find("it is a Jet 3 (Access 97) file, and Jet 3 files are not written"), std::string::npos)
            << r.err;
        EXPECT_TRUE(test::readWhole(jet3) == before);
        EXPECT_EQ(dir.names(), std::vector<std::string>{"old97.mdb"});
    }
    fs::remove(jet3);

    db.version = 1;
    const std::string file = dir.file("shop.mdb");
    dex::test::writeJetFile(file, db);
    const std::string original = test::readWhole(file);
    // An Access lock file beside it.
    for (const char* lockName : {"shop.ldb", "shop.laccdb"}) {
        { std::ofstream(dir.file(lockName)) << ""; }
        r = compact(file);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("file already in use"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(lockName), std::string::npos) << r.err;
        fs::remove(dir.file(lockName));
    }
    // A lock another process holds on the file (flock, then a POSIX record lock).
    for (const bool recordLock : {false, true}) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t holder = ::fork();
        if (holder == 0) {
            const int fd = ::open(file.c_str(), O_RDWR);
            struct flock l {};
            l.l_type = F_WRLCK;
            l.l_whence = SEEK_SET;
            l.l_start = 0x40;
            l.l_len = 1;
            const bool held = recordLock ? ::fcntl(fd, F_SETLK, &l) == 0 : ::flock(fd, LOCK_EX) == 0;
            (void)!::write(ready[1], held ? "y" : "n", 1);
            ::pause();
            ::_exit(0);
        }
        char c = 0;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        EXPECT_EQ(c, 'y');
        r = compact(file);
        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
        ::close(ready[0]);
        ::close(ready[1]);
        EXPECT_EQ(r.status, 2) << (recordLock ? "record lock" : "flock");
        EXPECT_NE(r.err.find("another program"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(test::readWhole(file) == original);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"shop.mdb"});

    // A folder that cannot be written: the new file cannot be put beside it.
    // (Where the tests run as root, the program runs without the power to
    // override file permissions.)
    const std::string locked = (dir.path() / "ro").string();
    fs::create_directory(locked);
    const std::string inside = locked + "/shop.mdb";
    fs::copy_file(file, inside);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) != 0 ||
             ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) != 0))
            ::_exit(77);
        ::dup2(out[1], 2);
        ::dup2(out[1], 1);
        ::execl(kDexmira.c_str(), kDexmira.c_str(), "compact", inside.c_str(), "--yes", static_cast<char*>(nullptr));
        ::_exit(4);
    }
    ::close(out[1]);
    std::string said;
    char buf[4096];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) said.append(buf, static_cast<size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << said;
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot give up the power to override permissions as root";
    EXPECT_EQ(WEXITSTATUS(status), 2) << said;
    EXPECT_NE(said.find("cannot be written"), std::string::npos) << said;
    EXPECT_TRUE(test::readWhole(inside) == original);
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(locked)) ++entries;
    EXPECT_EQ(entries, 1u);
}

// Kills at spread-out moments and a full disk: the user's file is always
// byte-identical, or the new file is complete with the backup beside it.
TEST(JetCompact, NoKillOrFullDiskLosesTheUsersFile) {
    Folder dir;
    dex::test::WDatabase db;
    db.tables = {dex::test::labelTable("labels", 40000)};
    db.tables[0].indexes = {{"PrimaryKey", true, true, {"id"}, {}}, {"label", false, false, {"label"}, {}}};
    const std::string master = dir.file("master.jet");
    dex::test::writeJetFile(master, db);
    const std::string original = test::readWhole(master);
    const std::string file = dir.file("shop.mdb"), backup = dir.file("shop.bak.mdb");

    // How long a whole run takes, to spread the kills over it.
    fs::copy_file(master, file);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(compact(file).status, 0);
    const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    const std::string compacted = test::readWhole(file);

    std::mt19937 random(20261209);
    int unchanged = 0, replaced = 0;
    for (int i = 0; i < 24; ++i) {
        for (const auto& name : dir.names())
            if (name != "master.jet") fs::remove(dir.file(name));
        fs::copy_file(master, file);
        const auto delay = std::chrono::microseconds(
            static_cast<long>(whole.count() * (0.05 + 2.5 * (i + std::uniform_real_distribution<>(0, 1)(random)) / 24)));
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 2);
            ::execl(kDexmira.c_str(), kDexmira.c_str(), "compact", file.c_str(), "--yes", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        std::this_thread::sleep_for(delay);
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        const std::string now = test::readWhole(file);
        if (now == original) {
            ++unchanged;
            if (fs::exists(backup)) EXPECT_TRUE(test::readWhole(backup) == original);
        } else {
            ++replaced;
            EXPECT_TRUE(now == compacted) << "kill " << i << " after " << delay.count() << " us";
            EXPECT_TRUE(test::readWhole(backup) == original) << "kill " << i;
        }
    }
    EXPECT_GT(unchanged, 0);
    EXPECT_GT(replaced, 0) << "some kills came after the swap";
    // The next run removes what a killed one left and compacts.
    for (const auto& name : dir.names())
        if (name != "master.jet" && name != "shop.mdb") fs::remove(dir.file(name));
    fs::remove(file);
    fs::copy_file(master, file);
    {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 2);
            ::execl(kDexmira.c_str(), kDexmira.c_str(), "compact", file.c_str(), "--yes", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        std::this_thread::sleep_for(whole / 2);
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    if (test::readWhole(file) == original) {
        ASSERT_EQ(compact(file).status, 0);
    }
    std::vector<std::string> left = dir.names();
    EXPECT_EQ(left, (std::vector<std::string>{"master.jet", "shop.bak.mdb", "shop.mdb"}));

    // A full disk: the file-size limit stops the write.
    for (const auto& name : dir.names())
        if (name != "master.jet") fs::remove(dir.file(name));
    fs::copy_file(master, file);
    const auto full = compact(file, "", 256 * 1024);
    EXPECT_EQ(full.status, 2);
    EXPECT_NE(full.err.find("The file was left unchanged."), std::string::npos) << full.err;
    EXPECT_TRUE(test::readWhole(file) == original);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"master.jet", "shop.mdb"}));

    // A second compaction keeps the first backup and numbers the next one;
    // the new file keeps the old one's owner and permissions.
    struct stat was {};
    if (::geteuid() == 0) ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ASSERT_EQ(::stat(file.c_str(), &was), 0);
    ASSERT_EQ(compact(file).status, 0);
    struct stat now {};
    ASSERT_EQ(::stat(file.c_str(), &now), 0);
    EXPECT_NE(now.st_ino, was.st_ino);
    EXPECT_EQ(now.st_uid, was.st_uid);
    EXPECT_EQ(now.st_gid, was.st_gid);
    EXPECT_EQ(now.st_mode & 07777, 0640u);
    const auto again = compact(file);
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.err.find(dir.file("shop.bak2.mdb")), std::string::npos) << again.err;
    EXPECT_TRUE(test::readWhole(backup) == original);
    EXPECT_TRUE(test::readWhole(dir.file("shop.bak2.mdb")) == compacted);
}

}  // namespace dex::test
