#include "CliMigrate.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "CliHelp.h"
#include "CliSupport.h"
#include "DbSession.h"
#include "ErrorText.h"
#include "FileCopy.h"
#include "FileKind.h"
#include "MigrationEngine.h"
#include "MigrationLog.h"
#include "ProductCatalogues.h"
#include "Products.h"
#include "modDBsub.h"

namespace dex {

namespace {

// A copy of a file in the same folder under a new unique name, removed
// unless it replaces the original.
class SiblingCopy {
public:
    explicit SiblingCopy(const std::string& original) : original_(original) {
        std::string tmpl = original + ".migrating-XXXXXX";
        const int fd = ::mkstemp(tmpl.data());
        if (fd < 0) {
            error_ = std::strerror(errno);
            return;
        }
        path_ = tmpl;
        ok_ = copyInto(fd);
        ::close(fd);
    }
    ~SiblingCopy() {
        if (in_ >= 0) ::close(in_);
        if (path_.empty()) return;
        std::error_code ec;
        for (const char* side : {"", "-journal", "-wal", "-shm"}) std::filesystem::remove(path_ + side, ec);
    }
    SiblingCopy(const SiblingCopy&) = delete;
    SiblingCopy& operator=(const SiblingCopy&) = delete;

    bool ok() const { return ok_; }
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

    // Syncs the copy, gives it the original's permissions and renames it over
    // the original in one step.
    bool replaceOriginal() {
        struct stat st {};
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        const bool synced = fd >= 0 && ::fsync(fd) == 0;
        if (fd >= 0) ::close(fd);
        if (!synced || ::stat(original_.c_str(), &st) != 0 || ::chmod(path_.c_str(), st.st_mode & 07777) != 0 ||
            ::rename(path_.c_str(), original_.c_str()) != 0) {
            error_ = std::strerror(errno);
            return false;
        }
        path_.clear();
        return true;
    }

private:
    // The original stays open until the copy is dropped: closing a
    // descriptor of a file ends every POSIX lock this process holds on it,
    // the caller's SQLite write lock included.
    bool copyInto(int out) {
        const int in = in_ = ::open(original_.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0) {
            error_ = std::strerror(errno);
            return false;
        }
        if (const int failed = copyFileContents(in, out)) {
            error_ = std::strerror(failed);
            return false;
        }
        return true;
    }

    std::string original_, path_, error_;
    int in_ = -1;
    bool ok_ = false;
};

constexpr const char* kUsage = "usage: dexmira migrate FILE --product NAME [--trace-sql]\n";

}  // namespace

int runMigrate(DbEngine& engine, const std::vector<std::string>& words, std::ostream& out,
               std::ostream& err) {
    cli::Args args(words);
    const std::optional<std::string> product = args.option("--product");
    const bool trace = args.flag("--trace-sql");
    if (auto bad = args.unknownOption()) {
        err << "unknown option " << *bad << "\n" << cli::usageOf("migrate");
        return cli::kFailure;
    }
    if (args.rest().size() != 1 || !product) {
        err << kUsage;
        return cli::kFailure;
    }
    const std::string& file = args.rest()[0];
    const std::string code = migration::ProductCodeFor(*product);
    if (code.empty()) {
        err << "unknown product '" << *product
            << "' (" << ProductEntryNames() << " or a product code)\n";
        return cli::kFailure;
    }
    if (!migration::CatalogueFor(code)) {
        err << "no migration catalogue for product code '" << code << "'\n";
        return cli::kFailure;
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        const std::string what = notAFileText(file);
        if (what.empty()) err << "file not found: " << file << "\n";
        else err << what << "\n";
        return cli::kFailure;
    }
    if (detectFileKind(file) == FileKind::Jet) {
        err << "'" << file << "' is a real Jet (Access) file, which Dexmira never writes; import it into a "
            << "store first (dexmira import " << file << " STORE) and migrate the store\n";
        return cli::kFailure;
    }
    for (const char* side : {"-journal", "-wal"})
        if (std::filesystem::exists(file + side, ec)) {
            err << "'" << file << "' has an unfinished change ('" << file << side
                << "' beside it); open it once with the program that wrote it, then migrate. The file was "
                   "left unchanged.\n";
            return cli::kFailure;
        }

    // A write lock on the file itself for the whole run: another program in
    // the middle of a change to it is waited for and then refused, and no
    // change can start before the migrated copy has replaced the file (a
    // change made then would go to the replaced file and be lost).
    std::unique_ptr<Connection> guard;
    try {
        guard = engine.openConnection(modDBsub::ConnectionString(file, kProductPassword));
        guard->execute("BEGIN IMMEDIATE");
    } catch (const DbError& e) {
        if (e.number() == dberr::TableLocked) {
            err << "'" << file << "' is in use by another program (Error " << e.number() << ": " << e.description()
                << "); the file was left unchanged\n";
        } else {
            err << errorFrame(e.number(), e.description(), "DBOpen", "Module modDBsub") << "\n";
        }
        return cli::kFailure;
    }

    // The ladder runs on a sibling copy; the file is replaced by it only when
    // every step ran without a message, so that a failure, a full disk or an
    // interruption leaves the file exactly as it was.
    SiblingCopy copy(file);
    if (!copy.ok()) {
        err << "cannot copy '" << file << "' beside itself for the migration (" << copy.error()
            << "); the file was left unchanged\n";
        return cli::kFailure;
    }
    cli::ConsoleDialogs dialogs(err, false, false);
    bool migrated = false;
    {
        DbSession session(engine, dialogs);
        const auto naming = [&](const DbError& e) {
            std::string text = e.description();
            for (size_t at; (at = text.find(copy.path())) != std::string::npos;) text.replace(at, copy.path().size(), file);
            return text;
        };
        std::string check;
        try {
            modDBsub::DBOpen(session, copy.path(), kProductPassword);
        } catch (const DbError& e) {
            err << errorFrame(e.number(), naming(e), "DBOpen", "Module modDBsub") << "\n";
            return cli::kFailure;
        }
        // Damage in pages the steps never read would otherwise be carried
        // into the file that replaces the user's.
        try {
            check = modDBsub::FieldText(modDBsub::DBQuery(session, "PRAGMA quick_check"));
        } catch (const DbError& e) {
            check = naming(e);
        }
        if (check != "ok") {
            err << "'" << file << "' is damaged (" << check << "); it was not migrated and was left unchanged\n";
            return cli::kFailure;
        }
        if (trace) session.setTrace([&out](const std::string& sql) { out << sql << "\n"; });
        migration::MigrationLog log(migration::DefaultLogFolder());
        migration::MigrationContext ctx{session, log};
        migrated = migration::ChkDBpatchFor(code, ctx) && dialogs.messages().empty();
        session.closeConnection();
    }
    if (!migrated) {
        err << "the migration of '" << file << "' did not finish; the file was left unchanged\n";
        return cli::kFailure;
    }
    if (!copy.replaceOriginal()) {
        err << "cannot put the migrated copy in place of '" << file << "' (" << copy.error()
            << "); the file was left unchanged\n";
        return cli::kFailure;
    }
    return cli::kOk;
}

}  // namespace dex
