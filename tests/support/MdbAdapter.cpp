// The only file that calls libmdb. <glib.h> has to come before <mdbtools.h>
// in C++ (mdbtools.h includes it inside extern "C").
#include <glib.h>
#include <mdbtools.h>

#include "MdbAdapter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "JetFile.h"
#include "JetValues.h"
#include "LittleEndian.h"
#include "TextCodec.h"

namespace dex::test {

using namespace jetfile;

namespace {

// ---------------------------------------------------------------------------
// stderr while libmdb runs

// Points file descriptor 2 at /dev/null for as long as any instance lives
// (nested and concurrent instances share one redirection).
class QuietStderr {
public:
    QuietStderr() {
        std::lock_guard<std::mutex> lock(mutex());
        if (depth()++ > 0 || !enabled()) return;
        std::fflush(stderr);
        const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (devNull < 0) return;
        const int saved = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
        if (saved >= 0 && ::dup2(devNull, 2) >= 0) {
            savedFd() = saved;
        } else if (saved >= 0) {
            ::close(saved);
        }
        ::close(devNull);
    }
    ~QuietStderr() {
        std::lock_guard<std::mutex> lock(mutex());
        if (--depth() > 0 || savedFd() < 0) return;
        std::fflush(stderr);
        ::dup2(savedFd(), 2);
        ::close(savedFd());
        savedFd() = -1;
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static int& depth() {
        static int d = 0;
        return d;
    }
    static int& savedFd() {
        static int fd = -1;
        return fd;
    }
    static bool enabled() {
        static const bool on = [] {
            const char* keep = std::getenv("DEXMIRA_MDB_STDERR");
            return !(keep && *keep && std::strcmp(keep, "0") != 0);
        }();
        return on;
    }
};

// ---------------------------------------------------------------------------
// C handles

struct HandleCloser {
    void operator()(MdbHandle* h) const { mdb_close(h); }
};
using HandlePtr = std::unique_ptr<MdbHandle, HandleCloser>;

struct TableFreer {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};
using TablePtr = std::unique_ptr<MdbTableDef, TableFreer>;

void freePropsArray(GPtrArray* props) {
    if (!props) return;
    for (guint i = 0; i < props->len; ++i) mdb_free_props(static_cast<MdbProperties*>(g_ptr_array_index(props, i)));
    g_ptr_array_free(props, TRUE);
}

struct EntryFreer {
    void operator()(MdbCatalogEntry* e) const {
        freePropsArray(e->props);
        delete e;
    }
};
using EntryPtr = std::unique_ptr<MdbCatalogEntry, EntryFreer>;

// ---------------------------------------------------------------------------
// Little helpers

constexpr uint16_t kDeletedRow = 0x8000;
constexpr uint16_t kOverflowRow = 0x4000;
constexpr int kOffsetMask = 0x1FFF;
constexpr int kMaxOverflowHops = 4;
constexpr uint32_t kInlineValue = 0x80000000u, kSinglePageValue = 0x40000000u, kLengthMask = 0x3FFFFFFFu;
constexpr size_t kLongValueHeader = 12;


bool truthy(const char* v) {
    if (!v) return false;
    std::string s(v);
    for (auto& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s == "yes" || s == "true" || s == "1" || s == "-1" || s == "on";
}

// Checks a property blob (MSysObjects.LvProp) the way libmdb's
// mdb_kkd_to_props walks it, so that libmdb never reads past its end or
// loops on a zero length. Returns false for a blob libmdb must not see.
class PropertyBlobCheck {
public:
    PropertyBlobCheck(const std::string& blob) : b_(reinterpret_cast<const uint8_t*>(blob.data())), n_(blob.size()) {}

    // Whether the blob starts like one libmdb reads ("KKD" Jet 3, "MR2" Jet 4).
    bool recognised() const {
        return n_ >= 4 && (std::memcmp(b_, "KKD\0", 4) == 0 || std::memcmp(b_, "MR2\0", 4) == 0);
    }

    bool safe() const {
        size_t pos = 4;
        size_t names = 0;
        bool haveNames = false;
        while (pos < n_) {
            if (n_ - pos < 6) return false;
            const uint32_t len = le32(b_ + pos);
            const uint32_t type = b_[pos + 4] | (b_[pos + 5] << 8);
            if (len < 6 || len > n_ - pos) return false;
            const uint8_t* chunk = b_ + pos + 6;
            const size_t chunkLen = len - 6;
            if (type == 0x80) {
                if (!namesSafe(chunk, chunkLen, names)) return false;
                haveNames = true;
            } else if (type <= 2 && haveNames) {
                if (!valuesSafe(chunk, chunkLen, names)) return false;
            }
            pos += len;
        }
        return true;
    }

private:
    static bool namesSafe(const uint8_t* p, size_t n, size_t& count) {
        count = 0;
        for (size_t pos = 0; pos < n; ++count) {
            if (n - pos < 2) return false;
            const size_t len = le16(p + pos);
            if (len > n - pos - 2) return false;
            pos += 2 + len;
        }
        return true;
    }

    // Bytes a value of each libmdb type needs (libmdb reads that many).
    static size_t minimumSize(int type) {
        switch (type) {
            case MDB_BOOL: case MDB_BYTE: return 1;
            case MDB_INT: return 2;
            case MDB_LONGINT: case MDB_FLOAT: case MDB_COMPLEX: return 4;
            case MDB_DOUBLE: case MDB_DATETIME: return 8;
            case MDB_REPID: return 16;
            default: return 0;
        }
    }

    static bool valuesSafe(const uint8_t* p, size_t n, size_t names) {
        if (n < 6) return false;
        const size_t nameLen = le16(p + 4);
        if (nameLen > n - 6) return false;
        for (size_t pos = 6 + nameLen; pos < n;) {
            if (n - pos < 8) return false;
            const size_t recordLen = le16(p + pos);
            const int type = p[pos + 3];
            const size_t elem = le16(p + pos + 4), size = le16(p + pos + 6);
            if (elem >= names || pos + 8 + size > n) return true;  // libmdb stops here
            // Currency is read from the page buffer instead of the blob: never let libmdb see it.
            if (type == MDB_MONEY || size < minimumSize(type) || recordLen == 0) return false;
            pos += recordLen;
        }
        return true;
    }

    const uint8_t* b_;
    size_t n_;
};

// How one column of a table is read: libmdb's column and what our own
// definition reader says about it.
struct ColumnPlan {
    MdbColumn* col = nullptr;
    int type = 0;
    int scale = 0;
    std::string name;
};

}  // namespace

// ---------------------------------------------------------------------------

struct MdbAdapter::Impl {
    HandlePtr mdb;
    JetHeader header;
    uint32_t pageCount = 0;
    JetText text;
    std::vector<EntryPtr> entries;         // one per catalog object, null for non-tables
    std::vector<CatalogObject> catalog;
    std::vector<char> blobBuffer;          // mdb_ole_read's copy target: one page

    Impl(const JetHeader& h, uint32_t pages) : header(h), pageCount(pages), text(h.format == JetFormat::Jet3, h.codePage) {}

    bool jet3() const { return header.format == JetFormat::Jet3; }

    // libmdb decodes Jet 3 text with the code page it knows by name and falls
    // back to Windows-1252 (949 is not in its list), and honours $MDBICONV
    // for its output. Its converters are set here to the file's code page
    // (Jet 3) or UCS-2 (Jet 4), always to UTF-8, so property texts come out right.
    void setConverters() {
        const std::string source = jet3() ? iconvNameForCodePage(header.codePage) : "UCS-2LE";
        iconv_t in = iconv_open("UTF-8", source.c_str());
        iconv_t out = iconv_open(source.c_str(), "UTF-8");
        if (in == reinterpret_cast<iconv_t>(-1) || out == reinterpret_cast<iconv_t>(-1)) {
            if (in != reinterpret_cast<iconv_t>(-1)) iconv_close(in);
            if (out != reinterpret_cast<iconv_t>(-1)) iconv_close(out);
            return;  // keep libmdb's own choice
        }
        mdb_iconv_close(mdb.get());
        mdb->iconv_in = in;
        mdb->iconv_out = out;
    }

    EntryPtr makeEntry(const std::string& name, uint32_t page) {
        EntryPtr e(new MdbCatalogEntry{});
        e->mdb = mdb.get();
        std::snprintf(e->object_name, sizeof e->object_name, "%s", name.c_str());
        e->object_type = MDB_TABLE;
        e->table_pg = page;
        return e;
    }

    // libmdb's table definition and column list, checked against our own reading of it.
    TablePtr openTable(MdbCatalogEntry* entry, const TableDefinition& def, const std::string& name) {
        QuietStderr quiet;
        TablePtr table(mdb_read_table(entry));
        if (!table) throw damagedTable("libmdb cannot read the table definition", name);
        // libmdb 1.0 keeps an empty usage map as a null pointer, which its page search would follow.
        if (!table->usage_map || table->map_sz < 1) throw damagedTable("the table's page map is empty", name);
        if (!mdb_read_columns(table.get()) || !table->columns)
            throw damagedTable("libmdb cannot read the column list", name);
        if (table->num_cols != def.columns.size() || table->columns->len != def.columns.size())
            throw damagedTable("libmdb reads a different number of columns", name);
        return table;
    }

    std::vector<ColumnPlan> planColumns(MdbTableDef* table, const TableDefinition& def, const std::string& name) {
        std::vector<ColumnPlan> plans;
        for (guint i = 0; i < table->columns->len; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
            auto it = std::find_if(def.columns.begin(), def.columns.end(),
                                   [&](const TdefColumn& c) { return c.number == col->col_num; });
            if (it == def.columns.end() || it->type != col->col_type)
                throw damagedTable("libmdb reads column " + std::to_string(col->col_num) + " differently", name);
            plans.push_back(ColumnPlan{col, it->type, it->scale, text.name(it->rawName)});
        }
        return plans;
    }

    [[noreturn]] void damaged(const std::string& what, const std::string& table) const {
        throw damagedTable(what, table);
    }
};

// ---------------------------------------------------------------------------
// Rows

namespace {

class RowWalker {
public:
    RowWalker(MdbAdapter::Impl& impl, MdbTableDef* table, std::vector<ColumnPlan> plans, std::string name)
        : impl_(impl), mdb_(impl.mdb.get()), table_(table), plans_(std::move(plans)), name_(std::move(name)),
          fields_(plans_.size()) {
        mdb_rewind_table(table_);
    }

    // The next live row; false at the end of the table.
    bool next(std::vector<Value>& out) {
        while (true) {
            if (row_ >= rows_) {
                if (!nextPage()) return false;
                continue;
            }
            const int row = row_++;
            const uint16_t start = rowStart(row);
            if (start & kDeletedRow) continue;
            if (start & kOverflowRow) {
                readOverflow(row, out);
                return true;
            }
            if (readRow(row, out)) return true;
        }
    }

private:
    int pageSize() const { return static_cast<int>(mdb_->fmt->pg_size); }
    int rowCountOffset() const { return mdb_->fmt->row_count_offset; }
    uint16_t rowStart(int row) const {
        return static_cast<uint16_t>(mdb_get_int16(mdb_->pg_buf, rowCountOffset() + 2 + row * 2));
    }
    std::string pageText(uint32_t page) const { return "page " + std::to_string(page); }

    // Loads the table's next data page (its usage map lists them).
    bool nextPage() {
        while (true) {
            const gint32 next = mdb_map_find_next(mdb_, table_->usage_map, static_cast<unsigned>(table_->map_sz),
                                                  currentPage_);
            if (next == 0) return false;
            if (next < 0) impl_.damaged("the table's page map cannot be read", name_);
            const auto page = static_cast<uint32_t>(next);
            if (page <= currentPage_) impl_.damaged("the table's page map goes backwards", name_);
            if (page >= impl_.pageCount)
                impl_.damaged("the table lists " + pageText(page) + ", beyond the end of the file", name_);
            currentPage_ = page;
            loadPage(page);
            if (!isOwnDataPage()) continue;  // the map may list pages the table gave up
            rows_ = mdb_get_int16(mdb_->pg_buf, rowCountOffset());
            if (rowCountOffset() + 2 + rows_ * 2 > pageSize())
                impl_.damaged(pageText(page) + " claims " + std::to_string(rows_) + " rows", name_);
            row_ = 0;
            return true;
        }
    }

    void loadPage(uint32_t page) {
        if (mdb_read_pg(mdb_, page) != mdb_->fmt->pg_size) impl_.damaged(pageText(page) + " cannot be read", name_);
    }

    bool isOwnDataPage() const {
        return mdb_->pg_buf[0] == MDB_PAGE_DATA &&
               static_cast<unsigned long>(static_cast<uint32_t>(mdb_get_int32(mdb_->pg_buf, 4))) ==
                   table_->entry->table_pg;
    }

    // A row whose header holds the page and row where its data moved to.
    void readOverflow(int row, std::vector<Value>& out) {
        int start = 0;
        size_t len = 0;
        uint32_t page = currentPage_;
        for (int hop = 0;; ++hop) {
            if (hop > kMaxOverflowHops || mdb_find_row(mdb_, row, &start, &len) != 0 || len < 4)
                impl_.damaged("an overflow row on " + pageText(page) + " points nowhere", name_);
            const uint32_t target = le32(mdb_->pg_buf + (start & kOffsetMask));
            page = target >> 8;
            row = static_cast<int>(target & 0xFF);
            if (page == 0 || page >= impl_.pageCount)
                impl_.damaged("an overflow row points to " + pageText(page) + ", which the file does not have", name_);
            loadPage(page);
            if (!isOwnDataPage() || row >= mdb_get_int16(mdb_->pg_buf, rowCountOffset()))
                impl_.damaged("an overflow row points to a row the table does not have on " + pageText(page), name_);
            if (!(rowStart(row) & kOverflowRow)) break;
        }
        if (!readRow(row, out)) impl_.damaged("an overflow row on " + pageText(page) + " is empty", name_);
        loadPage(currentPage_);
    }

    // Takes the row apart (mdb_crack_row) and converts every value.
    bool readRow(int row, std::vector<Value>& out) {
        int start = 0;
        size_t len = 0;
        if (mdb_find_row(mdb_, row, &start, &len) != 0)
            impl_.damaged("row " + std::to_string(row) + " of " + pageText(mdb_->cur_pg) + " lies outside its page",
                          name_);
        if (len == 0) return false;
        start &= kOffsetMask;
        const int rowColumns = mdb_crack_row(table_, start, len, fields_.data());
        if (rowColumns < 0)
            impl_.damaged("row " + std::to_string(row) + " of " + pageText(mdb_->cur_pg) + " cannot be taken apart",
                          name_);
        out.assign(plans_.size(), Value{});
        for (size_t i = 0; i < plans_.size(); ++i) out[i] = fieldValue(i, start, len, rowColumns);
        return true;
    }

    Value fieldValue(size_t i, int rowStart, size_t rowLen, int rowColumns) {
        const ColumnPlan& plan = plans_[static_cast<size_t>(fields_[i].colnum)];
        // A column added after the row was written has no bit in the row's null mask.
        const bool present = plan.col->col_num < rowColumns;
        if (plan.type == MDB_BOOL) return int64_t{present && !fields_[i].is_null ? -1 : 0};
        if (!present || fields_[i].is_null) return std::monostate{};
        const int start = fields_[i].start, size = fields_[i].siz;
        if (size < 0 || start < rowStart || static_cast<size_t>(start - rowStart) + static_cast<size_t>(size) > rowLen)
            impl_.damaged("column '" + plan.name + "' points past its row on " + pageText(mdb_->cur_pg), name_);
        return convert(plan, start, size);
    }

    // The value converter: stored bytes of one column to a dex::Value.
    Value convert(const ColumnPlan& plan, int start, int size) {
        const unsigned char* p = mdb_->pg_buf + start;
        auto need = [&](int n) {
            if (size < n)
                impl_.damaged("column '" + plan.name + "' holds " + std::to_string(size) + " bytes, too few for its type",
                              name_);
        };
        switch (plan.type) {
            case MDB_BYTE: need(1); return int64_t{p[0]};
            case MDB_INT: need(2); return int64_t{static_cast<int16_t>(mdb_get_int16(mdb_->pg_buf, start))};
            case MDB_LONGINT: need(4); return int64_t{static_cast<int32_t>(le32(p))};
            case MDB_MONEY: {
                need(8);
                const uint64_t raw = le32(p) | (static_cast<uint64_t>(le32(p + 4)) << 32);
                return static_cast<double>(static_cast<int64_t>(raw)) / 10000.0;
            }
            case MDB_FLOAT: {
                need(4);
                float f;
                std::memcpy(&f, p, 4);
                return singleToDouble(f);
            }
            case MDB_DOUBLE: {
                need(8);
                double d;
                std::memcpy(&d, p, 8);
                return d;
            }
            case MDB_DATETIME: {
                need(8);
                double d;
                std::memcpy(&d, p, 8);
                auto text = formatJetDate(d);
                return text ? Value{*text} : Value{std::monostate{}};
            }
            case MDB_BINARY:
            case coltype::FixedBinary: return std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(size));
            case MDB_TEXT: return impl_.text.value(p, static_cast<size_t>(size));
            case MDB_OLE: return longValue(plan, start, size);
            case MDB_MEMO: {
                const std::string bytes = longValue(plan, start, size);
                return impl_.text.value(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            }
            case MDB_REPID: need(16); return formatJetGuid(p);
            case MDB_NUMERIC: need(17); return formatJetDecimal(p, plan.scale);
            default:
                impl_.damaged("column '" + plan.name + "' has the unknown type " + std::to_string(plan.type), name_);
        }
    }

    // A Memo or OLE value: in the row, on one LVAL page, or on a chain of them.
    std::string longValue(const ColumnPlan& plan, int start, int size) {
        if (size == 0) return {};
        if (size < static_cast<int>(kLongValueHeader))
            impl_.damaged("column '" + plan.name + "' holds a long value header of " + std::to_string(size) + " bytes",
                          name_);
        unsigned char header[kLongValueHeader];
        std::memcpy(header, mdb_->pg_buf + start, kLongValueHeader);
        const uint32_t lengthAndFlags = le32(header);
        const size_t length = lengthAndFlags & kLengthMask;
        auto broken = [&]() { impl_.damaged("the value of column '" + plan.name + "' is broken", name_); };
        if ((lengthAndFlags & kInlineValue) && (lengthAndFlags & kSinglePageValue)) broken();
        if (lengthAndFlags & kInlineValue) {
            if (length > static_cast<size_t>(size) - kLongValueHeader) broken();
            return std::string(reinterpret_cast<const char*>(mdb_->pg_buf + start + kLongValueHeader), length);
        }
        MdbColumn* col = plan.col;
        col->cur_value_start = start;
        col->cur_value_len = size;
        col->bind_ptr = impl_.blobBuffer.data();
        struct Unbind {
            MdbColumn* c;
            ~Unbind() { c->bind_ptr = nullptr; }
        } unbind{col};
        auto checkPage = [&](uint32_t pageRow) {
            if ((pageRow >> 8) >= impl_.pageCount)
                impl_.damaged("the value of column '" + plan.name + "' continues on " + pageText(pageRow >> 8) +
                                  ", beyond the end of the file",
                              name_);
        };
        checkPage(le32(header + 4));
        std::string out;
        size_t n = mdb_ole_read(mdb_, col, header, impl_.blobBuffer.size());
        if (lengthAndFlags & kSinglePageValue) {
            if (n < length) broken();
            return std::string(impl_.blobBuffer.data(), length);
        }
        out.append(impl_.blobBuffer.data(), n);
        while (out.size() <= length && col->cur_blob_pg_row != 0) {
            checkPage(col->cur_blob_pg_row);
            if ((n = mdb_ole_read_next(mdb_, col, header)) == 0) break;
            out.append(impl_.blobBuffer.data(), n);
        }
        if (out.size() != length) broken();
        return out;
    }

    MdbAdapter::Impl& impl_;
    MdbHandle* mdb_;
    MdbTableDef* table_;
    std::vector<ColumnPlan> plans_;
    std::string name_;
    std::vector<MdbField> fields_;
    uint32_t currentPage_ = 0;
    int rows_ = 0, row_ = 0;
};

// Rows of a table, read in batches so that stderr is redirected once per
// batch rather than once per row, and never while the caller's code runs.
void walkRows(RowWalker& walker, const RowSink& onRow) {
    constexpr size_t kBatch = 256;
    std::vector<std::vector<Value>> batch;
    bool more = true;
    while (more) {
        batch.clear();
        {
            QuietStderr quiet;
            std::vector<Value> row;
            while (batch.size() < kBatch && (more = walker.next(row))) batch.push_back(std::move(row));
        }
        for (auto& row : batch)
            if (!onRow(row)) return;
    }
}

size_t columnIndex(const TableDefinition& def, JetText& text, const std::string& name) {
    std::vector<const TdefColumn*> sorted;
    for (const auto& c : def.columns) sorted.push_back(&c);
    std::sort(sorted.begin(), sorted.end(), [](auto* a, auto* b) { return a->number < b->number; });
    for (size_t i = 0; i < sorted.size(); ++i)
        if (text.name(sorted[i]->rawName) == name) return i;
    return static_cast<size_t>(-1);
}

}  // namespace

// ---------------------------------------------------------------------------

MdbAdapter::MdbAdapter(const std::string& path, const JetHeader& header, uint32_t pageCount)
    : impl_(std::make_unique<Impl>(header, pageCount)) {
    {
        QuietStderr quiet;
        impl_->mdb.reset(mdb_open(path.c_str(), MDB_NOFLAGS));
    }
    if (!impl_->mdb) throw DbError(dberr::UnrecognizedFormat, "the file is damaged: libmdb cannot open it");
    if (impl_->mdb->fmt->pg_size != header.pageSize ||
        static_cast<int>(impl_->mdb->f->jet_version) != header.version)
        throw DbError(dberr::UnrecognizedFormat, "the file is damaged: libmdb reads a different format");
    impl_->setConverters();
    impl_->blobBuffer.assign(static_cast<size_t>(MDB_PGSIZE) + 16, '\0');
}

MdbAdapter::~MdbAdapter() = default;

const std::vector<CatalogObject>& MdbAdapter::readCatalog(const TableDefinition& msysObjects) {
    const std::string name = "MSysObjects";
    EntryPtr self = impl_->makeEntry(name, 2);
    TablePtr table = impl_->openTable(self.get(), msysObjects, name);
    const size_t id = columnIndex(msysObjects, impl_->text, "Id"), objName = columnIndex(msysObjects, impl_->text, "Name"),
                 type = columnIndex(msysObjects, impl_->text, "Type"), flags = columnIndex(msysObjects, impl_->text, "Flags"),
                 props = columnIndex(msysObjects, impl_->text, "LvProp");
    const size_t none = static_cast<size_t>(-1);
    if (id == none || objName == none || type == none)
        throw damagedTable("the catalog lacks its Id, Name or Type column", name);

    RowWalker walker(*impl_, table.get(), impl_->planColumns(table.get(), msysObjects, name), name);
    impl_->catalog.clear();
    impl_->entries.clear();
    walkRows(walker, [&](std::vector<Value>& row) {
        CatalogObject obj;
        if (auto* s = std::get_if<std::string>(&row[objName])) obj.name = *s;
        if (auto* t = std::get_if<int64_t>(&row[type])) obj.type = static_cast<int>(*t);
        if (auto* i = std::get_if<int64_t>(&row[id])) obj.page = static_cast<uint32_t>(*i) & 0xFFFFFFu;
        if (flags != none)
            if (auto* f = std::get_if<int64_t>(&row[flags])) obj.flags = *f;
        EntryPtr entry;
        if (obj.type == MDB_TABLE) {
            entry = impl_->makeEntry(obj.name, obj.page);
            const auto* blob = props != none ? std::get_if<std::string>(&row[props]) : nullptr;
            if (blob && PropertyBlobCheck(*blob).recognised()) {
                if (!PropertyBlobCheck(*blob).safe()) throw damagedTable("the column properties are damaged", obj.name);
                std::string copy = *blob;
                QuietStderr quiet;
                entry->props = mdb_kkd_to_props(impl_->mdb.get(), copy.data(), copy.size());
            }
        }
        impl_->entries.push_back(std::move(entry));
        impl_->catalog.push_back(std::move(obj));
        return true;
    });
    return impl_->catalog;
}

std::vector<ColumnProperties> MdbAdapter::columnProperties(size_t catalogIndex, const TableDefinition& def,
                                                           const std::string& tableName) {
    MdbCatalogEntry* entry = catalogIndex < impl_->entries.size() ? impl_->entries[catalogIndex].get() : nullptr;
    if (!entry) throw damagedTable("the catalog does not list it as a table", tableName);
    TablePtr table = impl_->openTable(entry, def, tableName);
    std::vector<ColumnProperties> out;
    for (guint i = 0; i < table->columns->len; ++i) {
        const auto* col = static_cast<const MdbColumn*>(g_ptr_array_index(table->columns, i));
        ColumnProperties p;
        p.number = col->col_num;
        if (const char* d = mdb_col_get_prop(col, "DefaultValue")) p.defaultValue = d;
        p.required = truthy(mdb_col_get_prop(col, "Required"));
        p.allowZeroLength = truthy(mdb_col_get_prop(col, "AllowZeroLength"));
        out.push_back(std::move(p));
    }
    return out;
}

void MdbAdapter::readRows(size_t catalogIndex, const TableDefinition& def, const std::string& tableName,
                          const RowSink& onRow) {
    MdbCatalogEntry* entry = catalogIndex < impl_->entries.size() ? impl_->entries[catalogIndex].get() : nullptr;
    if (!entry) throw damagedTable("the catalog does not list it as a table", tableName);
    TablePtr table = impl_->openTable(entry, def, tableName);
    RowWalker walker(*impl_, table.get(), impl_->planColumns(table.get(), def, tableName), tableName);
    walkRows(walker, onRow);
}

}  // namespace dex::test
