// The headless commands against files that cannot be used as they are:
// missing, empty, not a database, cut short, damaged, guarded by another
// password, locked by another program, in a folder without write permission,
// on a full disk, with an unfinished change, a folder, a fifo, a device, a
// dangling link, a link loop, a huge file that is no database, too long a
// path, a comparison stopped by a signal; and a usable file under a path with
// Korean letters and blanks.
// Each row of the table runs every command on a fresh copy of the sample
// pair and checks the exit status, that a failure's message names the file
// and its cause, that the user's files are byte for byte as they were (the
// file migrate or compact was asked to change aside, and only when they
// succeeded), and that nothing temporary is left behind.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <map>
#include <random>

#include "HotJournal.h"
#include "InterruptImport.h"
#include "JetDamage.h"
#include "RunProgram.h"
#include "UniqueFolder.h"

namespace fs = std::filesystem;

namespace dex::test {
namespace {

enum Command { Compare, CompareProduct, Structure, Migrate, Compact };
constexpr std::array<Command, 5> kCommands{Compare, CompareProduct, Structure, Migrate, Compact};
const char* const kCommandNames[] = {"compare", "compare --product VelmoraII", "structure", "migrate",
                                     "compact --yes"};

// What one command must do in a scenario. Success: status 0 or 1 and no
// cause. Failure: status 2 (130 when a signal stopped it), and stderr holds
// the path (of the file, or of its folder when namesFolder) and the phrase
// `cause`.
struct Outcome {
    int status;
    std::string cause;
    bool namesFolder = false;
};
const Outcome kDiffers{1, ""}, kSucceeds{0, ""};  // a comparison of the pair finds differences

// What the test does while the command runs.
// HugeFile: no write may exceed 64 MiB, so that a command that would copy
// the huge file fails on its first megabytes instead of filling the disk.
// SignalWhileStaging: the comparison with a product is sent SIGTERM while its
// staging folder is there.
enum class During { Nothing, ExclusiveLock, ReadOnlyFolder, SmallFileSizeLimit, HugeFile, SignalWhileStaging };

struct Scenario {
    std::string name;
    // Makes the file to give the commands (A of a comparison), in the folder
    // that holds the sample pair reference.mdb and customer.mdb.
    std::function<fs::path(const fs::path&)> make;
    std::array<Outcome, 5> expect;  // by Command
    During during = During::Nothing;
};

fs::path writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
}

fs::path withHotJournal(const fs::path& dir) {
    const std::string a = (dir / "reference.mdb").string();
    leaveHotJournal(a);
    return a;
}

fs::path copyOfReference(const fs::path& dir, const fs::path& to) {
    fs::create_directories(to.parent_path());
    fs::copy_file(dir / "reference.mdb", to);
    return to;
}

// An import of a Jet file into STORE ended by SIGTERM midway: nothing is left
// at STORE (the private file is gone too), so STORE is given to the commands.
fs::path interruptedImportTarget(const fs::path& dir) {
    dex::test::WDatabase db;
    db.tables = {dex::test::labelTable("big", 60000)};
    dex::test::writeJetFile((dir / "legacy.mdb").string(), db);
    const fs::path store = dir / "imported.mdb";
    const int status = interruptImport(DEXMIRA_BIN, (dir / "legacy.mdb").string(), store, SIGTERM);
    EXPECT_TRUE(status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_TRUE(importLeftovers(store).empty()) << "the interrupted import left its private file";
    return store;
}

// What the commands that check a path before anything else say about one
// that is no file: the message names it and says what it is.
std::array<Outcome, 5> notAFile(const std::string& what) {
    const Outcome o{2, what};
    return {o, o, o, o, o};
}

std::vector<Scenario> scenarios() {
    const Outcome notFound{2, "파일을 찾을 수 없습니다"};
    const auto failsAll = [](const std::string& cause) {
        return std::array<Outcome, 5>{Outcome{2, cause}, Outcome{2, cause}, Outcome{2, cause}, Outcome{2, cause},
                                      Outcome{2, cause}};
    };
    return {
        {"MissingFile", [](const fs::path& d) { return d / "missing.mdb"; },
         {notFound, notFound, Outcome{2, "Could not find file"}, Outcome{2, "file not found"}, notFound}},
        {"EmptyFile", [](const fs::path& d) { return writeFile(d / "empty.mdb", ""); },
         failsAll("Error 3343 (Unrecognized database format")},
        {"TextFile", [](const fs::path& d) { return writeFile(d / "notes.mdb", "Shopping list: milk, rice\n"); },
         failsAll("Error 3343 (Unrecognized database format")},
        {"TruncatedStore",
         [](const fs::path& d) {
             fs::resize_file(d / "reference.mdb", fs::file_size(d / "reference.mdb") / 2);
             return d / "reference.mdb";
         },
         failsAll("Error 3343 (Unrecognized database format")},
        // The middle page holds rows, which reading a structure never
        // touches: only the commands that read every page see the damage.
        {"DamagedPage",
         [](const fs::path& d) {
             const fs::path a = d / "reference.mdb";
             std::fstream f(a, std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(static_cast<std::streamoff>(fs::file_size(a) / 4096 / 2 * 4096));
             std::mt19937 random(5316);
             for (int i = 0; i < 4096; ++i) f.put(static_cast<char>(random()));
             return a;
         },
         {kDiffers, kDiffers, kSucceeds, Outcome{2, "is damaged"}, Outcome{2, "is damaged"}}},
        {"WrongPassword",
         [](const fs::path& d) {
             const fs::path a = d / "other.mdb";
             runProgram(DEXMIRA_BIN, {"create", a.string(), "--password", "other"});
             return a;
         },
         failsAll("Error 3031 (Not a valid password")},
        // Copying needs no lock: the comparison with a product runs on copies.
        {"LockedByAnotherProgram", [](const fs::path& d) { return d / "reference.mdb"; },
         {Outcome{2, "in use by another"}, kDiffers, Outcome{2, "in use by another"}, Outcome{2, "in use by another"},
          Outcome{2, "in use by another"}},
         During::ExclusiveLock},
        {"ReadOnlyFolder", [](const fs::path& d) { return copyOfReference(d, d / "readonly" / "reference.mdb"); },
         {kDiffers, Outcome{2, "Permission denied", true}, kSucceeds, Outcome{2, "Permission denied"},
          Outcome{2, "Permission denied"}},
         During::ReadOnlyFolder},
        {"DiskFull", [](const fs::path& d) { return d / "reference.mdb"; },
         {kDiffers, Outcome{2, "File too large"}, kSucceeds, Outcome{2, "File too large"}, Outcome{2, "File too large"}},
         During::SmallFileSizeLimit},
        // With a product the copy takes the journal along and is recovered.
        {"HotJournal", withHotJournal,
         {Outcome{2, "unfinished"}, kDiffers, Outcome{2, "unfinished"}, Outcome{2, "unfinished"},
          Outcome{2, "unfinished"}}},
        {"DirectoryAsFile",
         [](const fs::path& d) {
             fs::create_directory(d / "folder.mdb");
             return d / "folder.mdb";
         },
         notAFile("' is a folder, not a database file.")},
        // Never opened: a fifo without a writer would block a reader for good.
        {"Fifo",
         [](const fs::path& d) {
             ::mkfifo((d / "pipe.mdb").c_str(), 0600);
             return d / "pipe.mdb";
         },
         notAFile("' is a fifo (a named pipe), not a database file.")},
        {"Device", [](const fs::path&) { return fs::path("/dev/zero"); },
         notAFile("'/dev/zero' is a device, not a database file.")},
        {"DanglingLink",
         [](const fs::path& d) {
             fs::create_symlink("gone.mdb", d / "link.mdb");
             return d / "link.mdb";
         },
         notAFile("' is a dangling symbolic link: it leads to 'gone.mdb', which does not exist.")},
        {"SymlinkLoop",
         [](const fs::path& d) {
             fs::create_symlink("loop2.mdb", d / "loop1.mdb");
             fs::create_symlink("loop1.mdb", d / "loop2.mdb");
             return d / "loop1.mdb";
         },
         notAFile("' is a symbolic link that leads round in a loop")},
        // 20 GB that take no room on the disk: the kind is read from the
        // first bytes, and nothing is copied.
        {"HugeFileThatIsNoDatabase",
         [](const fs::path& d) {
             const fs::path a = writeFile(d / "huge.mdb", "Shopping list: milk, rice\n");
             fs::resize_file(a, 20ull << 30);
             return a;
         },
         failsAll("Error 3343 (Unrecognized database format"), During::HugeFile},
        // The staging folder and the copies are removed; only the comparison
        // with a product is stopped, the other commands run to their end.
        {"InterruptedCompare", [](const fs::path& d) { return d / "reference.mdb"; },
         {kDiffers, Outcome{130, "compare interrupted by signal 15 (Terminated): its temporary files were removed"},
          kSucceeds, kSucceeds, kSucceeds},
         During::SignalWhileStaging},
        {"OverLongPath",
         [](const fs::path& d) {
             fs::path deep = d;
             for (int i = 0; i < 6; ++i) deep /= std::string(90, static_cast<char>('a' + i));
             return copyOfReference(d, deep / "reference.mdb");
         },
         failsAll("bytes long")},
        {"InterruptedImport", interruptedImportTarget,
         {notFound, notFound, Outcome{2, "Could not find file"}, Outcome{2, "file not found"}, notFound}},
        {"KoreanAndBlanksInThePath",
         [](const fs::path& d) { return copyOfReference(d, d / "고객 자료" / "참조 자료 1.mdb"); },
         {kDiffers, kDiffers, kSucceeds, kSucceeds, kSucceeds}},
    };
}

void PrintTo(const Scenario& p, std::ostream* os) { *os << p.name; }

std::vector<std::string> argsFor(Command c, const std::string& a, const std::string& b) {
    switch (c) {
        case Compare: return {"compare", a, b};
        case CompareProduct: return {"compare", a, b, "--product", "VelmoraII"};
        case Structure: return {"structure", a, "--password", "kt5316"};
        case Migrate: return {"migrate", a, "--product", "VelmoraII"};
        case Compact: return {"compact", a, "--yes"};
    }
    return {};
}

// The bytes of a file; of a huge one, its size, modification time and first
// megabyte, which a write to it would change.
std::string contentOf(const fs::path& p) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0 || st.st_size <= (64l << 20)) return readWhole(p);
    std::string head(1 << 20, '\0');
    std::ifstream(p, std::ios::binary).read(head.data(), static_cast<std::streamsize>(head.size()));
    return std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec) + " " + head;
}

// Every entry under dir, with the content of the regular files ("" otherwise).
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> out;
    for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it) {
        std::error_code ec;
        const bool regular = fs::is_regular_file(it->symlink_status(ec));
        out[it->path().string()] = regular ? contentOf(it->path()) : "";
    }
    return out;
}

// Whether a staging folder of a comparison's own is in A's temporary
// folder: while a copy is made, or while B's copy is migrated beside A's.
bool stagingIn(const fs::path& a) {
    std::error_code ec;
    for (auto it = fs::directory_iterator(a.parent_path() / (a.stem().string() + "temp"), ec);
         !ec && it != fs::directory_iterator(); it.increment(ec))
        if (it->path().filename().string().rfind(".staging", 0) == 0) return true;
    return false;
}

bool temporaryName(const std::string& name) {
    for (const char* mark : {".part", ".staging", ".migrating-", "_compactTemp", "-journal"})
        if (name.find(mark) != std::string::npos) return true;
    return false;
}

class FaultTable : public ::testing::TestWithParam<Scenario> {
protected:
    static void SetUpTestSuite() {
        pairFolder = makeUniqueFolder("dex_fault_pair");
        const auto r = runProgram("/bin/bash", {std::string(DEX_SAMPLES_DIR) + "/make-pair.sh", DEXMIRA_BIN,
                                                pairFolder.string()});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    static void TearDownTestSuite() { fs::remove_all(pairFolder); }
    void TearDown() override {
        for (const auto& d : folders) {
            std::error_code ec;
            for (auto it = fs::recursive_directory_iterator(d, ec); !ec && it != fs::recursive_directory_iterator();
                 ++it)
                if (it->is_directory(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
            fs::remove_all(d, ec);
        }
    }

    // A fresh folder with the pair in it.
    fs::path freshPair() {
        const fs::path dir = folders.emplace_back(makeUniqueFolder("dex_fault"));
        for (const char* name : {"reference.mdb", "customer.mdb"}) fs::copy_file(pairFolder / name, dir / name);
        return dir;
    }

    // As root, permission bits do not stop writes: the command then runs as
    // the user nobody (setpriv), with the pair its own and only the folder
    // closed. Returns the program and arguments that run the command, or
    // nothing when no user can be found for whom the folder is read-only.
    std::optional<std::vector<std::string>> readOnlyRun(const fs::path& dir, const fs::path& a,
                                                        std::vector<std::string> args) {
        if (::geteuid() != 0) {
            fs::permissions(a.parent_path(), fs::perms(0555));
            if (::access(a.parent_path().c_str(), W_OK) == 0) return std::nullopt;
            args.insert(args.begin(), DEXMIRA_BIN);
            return args;
        }
        const std::string setpriv = "/usr/bin/setpriv";
        if (!fs::exists(setpriv)) return std::nullopt;
        for (const fs::path& p : {dir / "reference.mdb", dir / "customer.mdb", a}) ::chown(p.c_str(), 65534, 65534);
        fs::permissions(dir, fs::perms(0755));
        fs::permissions(a.parent_path(), fs::perms(0555));
        const std::vector<std::string> asNobody{"--reuid=65534", "--regid=65534", "--clear-groups"};
        std::vector<std::string> probe = asNobody;
        for (const std::string& w : {std::string("/bin/sh"), std::string("-c"),
                                     "test -x '" DEXMIRA_BIN "' && test -w '" + a.string() + "' && ! test -w '" +
                                         a.parent_path().string() + "'"})
            probe.push_back(w);
        if (runProgram(setpriv, probe).status != 0) return std::nullopt;
        args.insert(args.begin(), DEXMIRA_BIN);
        args.insert(args.begin(), asNobody.begin(), asNobody.end());
        args.insert(args.begin(), setpriv);
        return args;
    }

    std::vector<fs::path> folders;
    static inline fs::path pairFolder;
};

TEST_P(FaultTable, EveryCommand) {
    const Scenario& s = GetParam();
    for (const Command c : kCommands) {
        SCOPED_TRACE(kCommandNames[c]);
        const Outcome& want = s.expect[c];
        const fs::path dir = freshPair();
        const fs::path a = s.make(dir);
        const std::string b = (dir / "customer.mdb").string();
        std::vector<std::string> args = argsFor(c, a.string(), b);
        std::string program = DEXMIRA_BIN;
        long sizeLimit = 0;
        if (s.during == During::SmallFileSizeLimit) sizeLimit = static_cast<long>(fs::file_size(a) / 2);
        if (s.during == During::ReadOnlyFolder) {
            auto run = readOnlyRun(dir, a, args);
            if (!run)
                GTEST_SKIP() << "no user here for whom a folder's permission bits stop writes (as root this "
                                "needs /usr/bin/setpriv and the user nobody able to run " DEXMIRA_BIN ")";
            program = run->front();
            args.assign(run->begin() + 1, run->end());
        }
        const auto before = snapshot(dir);

        sqlite3* lock = nullptr;
        if (s.during == During::ExclusiveLock) {
            ASSERT_EQ(sqlite3_open(a.c_str(), &lock), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(lock, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        }
        if (s.during == During::HugeFile) sizeLimit = 64l << 20;
        ProgramResult r;
        if (s.during == During::SignalWhileStaging && c == CompareProduct) {
            bool signalled = false;
            r = runSignalledWhen(program, args, SIGTERM, [&] { return stagingIn(a); }, signalled);
            if (!signalled) ADD_FAILURE() << "the comparison ended before its staging folder was seen: " << r.err;
        } else {
            r = runProgram(program, args, "", sizeLimit);
        }
        if (lock) {
            sqlite3_exec(lock, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(lock);
        }
        if (s.during == During::ReadOnlyFolder) fs::permissions(a.parent_path(), fs::perms(0755));

        EXPECT_EQ(r.status, want.status) << r.err;
        if (want.status >= 2) {
            const std::string named = want.namesFolder ? a.parent_path().string() : a.string();
            EXPECT_NE(r.err.find(named), std::string::npos) << "the message does not name " << named << ":\n" << r.err;
            EXPECT_NE(r.err.find(want.cause), std::string::npos) << "no \"" << want.cause << "\" in:\n" << r.err;
        } else if (c == Compare) {
            EXPECT_EQ(r.out.rfind("A (customer): " + a.string() + "\nB (reference): " + b + "\n", 0), 0u) << r.out << r.err;
        } else if (c == CompareProduct) {
            EXPECT_NE(r.out.find("\ncount: 4\n"), std::string::npos) << r.out << r.err;
        } else if (c == Structure) {
            EXPECT_EQ(r.out.rfind("테이블명\tP\tF\tI\t필드명", 0), 0u) << r.out << r.err;
        }

        const bool mayChange = (c == Migrate || c == Compact) && want.status == 0;
        const auto after = snapshot(dir);
        for (const auto& [path, bytes] : before) {
            if (mayChange && path == a.string()) continue;
            const auto it = after.find(path);
            EXPECT_TRUE(it != after.end() && it->second == bytes) << path << " was changed or removed";
        }
        if (c == Migrate && want.status == 0) {
            EXPECT_NE(after.at(a.string()), before.at(a.string())) << "the migrated file is unchanged";
        }
        for (const auto& [path, bytes] : after)
            if (!before.count(path) && temporaryName(fs::path(path).filename().string()))
                ADD_FAILURE() << "left behind: " << path;
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FaultTable, ::testing::ValuesIn(scenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& info) { return info.param.name; });

}  // namespace
}  // namespace dex::test
