#include "JetImport.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <filesystem>
#include <mutex>
#include <thread>

#include "JetFile.h"
#include "StoreBuilder.h"

namespace dex {

using namespace jetfile;

namespace {

std::string typeWordOf(const JetColumn& c) {
    switch (c.type) {
        case coltype::Bool: return "BIT";
        case coltype::Byte: return "BYTE";
        case coltype::Int: return "SMALLINT";
        case coltype::Long: return c.autonumber ? "AUTOINCREMENT" : "LONG";
        case coltype::Money: return "CURRENCY";
        case coltype::Float: return "REAL";
        case coltype::Double: return "DOUBLE";
        case coltype::DateTime: return "DATETIME";
        case coltype::Binary: return "BINARY(" + std::to_string(c.size) + ")";
        case coltype::Text: return "VARCHAR(" + std::to_string(c.size) + ")";
        case coltype::Ole: return "LONGBINARY";
        // LONGTEXT rather than MEMO: its SQLite affinity is text, so a memo
        // holding digits keeps its leading zeros.
        case coltype::Memo: return "LONGTEXT";
        case coltype::RepId: return "GUID";
        case coltype::Numeric:
            return "DECIMAL(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
        default: return {};
    }
}

StoreTableSpec specOf(const JetTable& t, const JetSchema& schema) {
    StoreTableSpec spec;
    spec.name = t.name;
    for (const auto& c : t.columns) {
        StoreColumnSpec col;
        col.name = c.name;
        col.type = typeWordOf(c);
        if (col.type.empty())
            throw DbError(dberr::UnrecognizedFormat, "Table '" + t.name + "', column '" + c.name +
                                                         "': the column type " + std::to_string(c.type) +
                                                         " cannot be imported.");
        if (!c.defaultValue.empty()) col.defaultText = c.defaultValue;
        col.required = c.required;
        col.allowZeroLength = c.allowZeroLength;
        col.binary = c.type == coltype::Binary || c.type == coltype::Ole;
        spec.columns.push_back(std::move(col));
    }
    for (const auto& ix : t.indexes) {
        if (ix.kind == JetIndex::Kind::Primary && spec.primaryKey.empty()) {
            spec.primaryKeyName = ix.name;
            spec.primaryKey = ix.columns;
        } else if (ix.kind == JetIndex::Kind::Normal) {
            spec.indexes.push_back(StoreIndexSpec{ix.name, ix.unique, ix.columns, ix.descending});
        }
    }
    // A foreign index is the enforced relationship's: the store keeps it as
    // a named FOREIGN KEY constraint and reports the same index.
    for (const auto& r : schema.relationships)
        if (r.enforced && r.table == t.name)
            spec.foreignKeys.push_back(
                StoreForeignKeySpec{r.name, r.columns, r.refTable, r.refColumns, r.cascadeUpdate, r.cascadeDelete});
    return spec;
}

DbError inTable(const std::string& table, const DbError& e) {
    if (e.description().find("'" + table + "'") != std::string::npos) return e;
    return DbError(e.number(), "Table '" + table + "': " + e.description());
}

}  // namespace

namespace {

// Rows handed from the thread that reads the Jet file to the thread that
// writes the store, in batches, through a queue of bounded length: reading
// (libmdb) and writing (SQLite) then overlap. Each side keeps its own
// objects: the Jet file is read only by the reading thread once it started,
// the store is written only by the calling thread.
class RowPipe {
public:
    struct Item {
        size_t table = 0;
        std::vector<std::vector<Value>> rows;
        bool tableEnd = false;
        std::exception_ptr error;  // the reading failed: the last item
    };

    void push(Item item) {
        std::unique_lock<std::mutex> lock(mutex_);
        room_.wait(lock, [this] { return items_.size() < kDepth || stopped_; });
        if (stopped_) return;
        items_.push_back(std::move(item));
        ready_.notify_one();
    }
    Item pop() {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return !items_.empty(); });
        Item item = std::move(items_.front());
        items_.pop_front();
        room_.notify_one();
        return item;
    }
    // The writing side gave up: the reader stops at its next row.
    void stop() {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped_ = true;
        room_.notify_all();
    }
    bool stopped() {
        std::lock_guard<std::mutex> lock(mutex_);
        return stopped_;
    }

private:
    static constexpr size_t kDepth = 8;
    std::mutex mutex_;
    std::condition_variable ready_, room_;
    std::deque<Item> items_;
    bool stopped_ = false;
};

void readAllTables(JetFile& jet, const std::vector<StoreTableSpec>& specs, RowPipe& pipe) {
    constexpr size_t kBatch = 512;
    try {
        for (size_t t = 0; t < specs.size() && !pipe.stopped(); ++t) {
            RowPipe::Item item{t, {}, false, nullptr};
            try {
                jet.readRows(specs[t].name, [&](const std::vector<Value>& row) {
                    item.rows.push_back(row);
                    if (item.rows.size() == kBatch) {
                        pipe.push(std::move(item));
                        item = RowPipe::Item{t, {}, false, nullptr};
                    }
                    return !pipe.stopped();
                });
            } catch (const DbError& e) {
                throw inTable(specs[t].name, e);
            }
            item.tableEnd = true;
            pipe.push(std::move(item));
        }
    } catch (...) {
        pipe.push(RowPipe::Item{0, {}, true, std::current_exception()});
    }
}

// Stops and joins the reading thread however the writing ends.
class ReaderThread {
public:
    ReaderThread(JetFile& jet, const std::vector<StoreTableSpec>& specs, RowPipe& pipe)
        : pipe_(pipe), thread_([&jet, &specs, &pipe] { readAllTables(jet, specs, pipe); }) {}
    ~ReaderThread() {
        pipe_.stop();
        thread_.join();
    }
    ReaderThread(const ReaderThread&) = delete;
    ReaderThread& operator=(const ReaderThread&) = delete;

private:
    RowPipe& pipe_;
    std::thread thread_;
};

}  // namespace

void ImportJetFile(const std::string& jetPath, const std::string& storePath, const std::string& password,
                   const std::function<void(const ImportProgress&)>& onTable) {
    std::unique_ptr<JetFile> jet = openJetFile(jetPath, password);
    const JetSchema& schema = jet->schema();
    std::vector<StoreTableSpec> specs;
    for (const auto& t : schema.tables)
        if (!t.system) specs.push_back(specOf(t, schema));

    StoreBuilder store(storePath, schema.hasPassword ? password : std::string());
    for (const auto& spec : specs) store.createTable(spec);
    RowPipe pipe;
    {
        ReaderThread reader(*jet, specs, pipe);
        for (size_t t = 0; t < specs.size(); ++t) {
            const StoreTableSpec& spec = specs[t];
            ImportProgress progress{spec.name, static_cast<int>(t) + 1, static_cast<int>(specs.size()), 0};
            auto writer = store.rows(spec);
            for (bool end = false; !end;) {
                RowPipe::Item item = pipe.pop();
                if (item.error) std::rethrow_exception(item.error);
                for (const auto& row : item.rows) writer.write(row);
                progress.rows += static_cast<long long>(item.rows.size());
                end = item.tableEnd;
            }
            store.createIndexes(spec);
            if (onTable) onTable(progress);
        }
    }
    store.finish();
}

}  // namespace dex
