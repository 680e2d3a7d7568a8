#include "JetRewrite.h"

#include <algorithm>
#include <cstring>

#include "FileSwap.h"
#include "JetCheck.h"
#include "JetFile.h"
#include "JetModel.h"
#include "NameText.h"

namespace dex {

using namespace jetfile;

namespace {

std::vector<std::string> objectsOf(const JetModel& m) {
    std::vector<std::string> out;
    for (const JetCatalogEntry& e : m.catalog()) out.push_back(std::to_string(e.type) + " " + e.name);
    std::sort(out.begin(), out.end());
    return out;
}

std::string firstDifference(const std::string& a, const std::string& b) {
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    const size_t lineStart = a.rfind('\n', i == 0 ? 0 : i - 1);
    const size_t from = lineStart == std::string::npos ? 0 : lineStart + 1;
    auto line = [&](const std::string& s) {
        const size_t end = s.find('\n', from);
        return s.substr(from, end == std::string::npos ? std::string::npos : end - from);
    };
    return "'" + line(b) + "' where '" + line(a) + "' was expected";
}

}  // namespace

void JetRowDigest::mix(uint64_t w) {
    hash_ = (hash_ ^ w) * 0x9E3779B97F4A7C15ull;
    hash_ ^= hash_ >> 29;
}

void JetRowDigest::bytes(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, b + i, 8);
        mix(w);
    }
    uint64_t tail = 0;
    std::memcpy(&tail, b + i, n - i);
    mix(tail ^ (static_cast<uint64_t>(n) << 56));
}

void JetRowDigest::add(const std::vector<JetValue>& row) {
    for (const JetValue& v : row) {
        mix(v.index());
        std::visit(
            [this](const auto& x) {
                using T = std::decay_t<decltype(x)>;
                if constexpr (std::is_same_v<T, std::monostate>) {
                } else if constexpr (std::is_same_v<T, std::string>) {
                    bytes(x.data(), x.size());
                } else if constexpr (std::is_same_v<T, JetBytes>) {
                    bytes(x.bytes.data(), x.bytes.size());
                } else if constexpr (std::is_same_v<T, JetGuid> || std::is_same_v<T, JetDecimal>) {
                    bytes(x.bytes.data(), x.bytes.size());
                } else if constexpr (std::is_same_v<T, JetCurrency>) {
                    bytes(&x.units, sizeof x.units);
                } else if constexpr (std::is_same_v<T, JetDateTime>) {
                    bytes(&x.days, sizeof x.days);
                } else if constexpr (std::is_same_v<T, bool>) {
                    mix(x ? 1 : 2);
                } else {
                    bytes(&x, sizeof x);
                }
            },
            v);
    }
    ++rows_;
}

void watchRows(JetWriteDatabase& db, RewriteDigests& digests) {
    for (JetWriteTable& t : db.tables) {
        if (!t.rows) continue;
        auto d = std::make_shared<RewriteDigest>();
        for (const auto& [table, column] : db.idColumns)
            if (lowerText(table) == lowerText(t.name)) d->countOnly = true;
        digests[lowerText(t.name)] = d;
        JetRowSource inner = std::move(t.rows);
        t.rows = [inner, d](const JetRowSink& sink) {
            inner([&](std::vector<JetValue>& row) {
                d->digest.add(row);
                sink(row);
            });
        };
    }
}

std::string schemaText(const JetSchema& s) {
    std::string out;
    for (const JetTable& t : s.tables) {
        out += "table " + t.name + (t.system ? " system" : "") + "\n";
        for (const JetColumn& c : t.columns)
            out += "  " + c.name + " " + std::to_string(c.type) + "/" + std::to_string(c.size) + (c.autonumber ? " auto" : "") +
                   " " + std::to_string(c.precision) + "," + std::to_string(c.scale) + " default[" + c.defaultValue + "]" +
                   (c.required ? " required" : "") + (c.allowZeroLength ? " zero-length" : "") + "\n";
        std::vector<std::string> indexes;
        for (const JetIndex& i : t.indexes) {
            std::string x = "  index " + i.name + " " + std::to_string(static_cast<int>(i.kind)) + (i.unique ? " unique" : "") +
                            (i.ignoreNulls ? " ignore-nulls" : "") + " (";
            for (size_t k = 0; k < i.columns.size(); ++k)
                x += i.columns[k] + (k < i.descending.size() && i.descending[k] ? " desc," : ",");
            x += ") -> " + i.referencedTable;
            for (const auto& c : i.referencedColumns) x += " " + c;
            indexes.push_back(x + "\n");
        }
        std::sort(indexes.begin(), indexes.end());
        for (const auto& x : indexes) out += x;
    }
    for (const JetRelationship& r : s.relationships) {
        out += "relationship " + r.name + " " + r.table + " -> " + r.refTable + (r.enforced ? " enforced" : "") +
               (r.cascadeUpdate ? " cascade-update" : "") + (r.cascadeDelete ? " cascade-delete" : "");
        for (size_t k = 0; k < r.columns.size() && k < r.refColumns.size(); ++k) out += " " + r.columns[k] + "=" + r.refColumns[k];
        out += "\n";
    }
    return out;
}

RewriteExpectation expectFromSource(const JetFile& file) {
    RewriteExpectation e;
    e.schema = schemaText(file.schema());
    e.objects = objectsOf(file.model());
    e.permissions = file.model().permissions().rows.size();
    e.queryRows = file.model().queries().rows.size();
    return e;
}

uint64_t rewriteJetFile(FileSwap& swap, const std::string& path, const std::string& password,
                        const JetWriteDatabase& db, const RewriteDigests& digests, const RewriteExpectation& expected,
                        const RewriteProgress& onProgress, const std::function<DbError(const std::string&)>& makeError) {
    JetWriteOptions options;
    uint64_t rows = 0;
    options.onTable = [&](const JetWriteProgress& p) {
        rows += p.rows;
        if (onProgress) onProgress("write", p.table, p.tableNumber, p.tableCount, p.rows);
    };
    try {
        writeJetFile(swap.fd(), path, db, options);
    } catch (const JetWriteError& e) {
        throw makeError(e.what());
    }

    std::unique_ptr<JetFile> written;
    try {
        written = openJetFile(swap.readPath(), password);
    } catch (const DbError& e) {
        throw makeError("the file written does not read back (" + e.description() + ")");
    }
    const JetModel& m = written->model();
    if (expected.schema)
        if (const std::string now = schemaText(written->schema()); now != *expected.schema)
            throw makeError("the structure read back differs: " + firstDifference(*expected.schema, now));
    if (expected.structure)
        if (const std::string d = expected.structure(swap.readPath()); !d.empty())
            throw makeError("the structure read back differs: " + d);
    if (expected.objects && objectsOf(m) != *expected.objects)
        throw makeError("the catalogue's objects read back differ from the old file's");
    if (expected.permissions && m.permissions().rows.size() != *expected.permissions)
        throw makeError("the permissions read back differ from the old file's");
    if (expected.queryRows && m.queries().rows.size() != *expected.queryRows)
        throw makeError("the saved queries read back differ from the old file's");
    // The rows are held against those written while the checker reads them.
    std::map<std::string, JetRowDigest> read;
    const JetCheckReport report = checkJetFile(m, [&](const JetModelTable& t, const std::vector<JetValue>& row) {
        read[lowerText(t.name)].add(row);
    });
    if (!report.sound()) {
        std::string what = "check finds " + std::to_string(report.problems.size()) + " problem(s) in the file written";
        for (size_t i = 0; i < report.problems.size() && i < 3; ++i) what += "; " + report.problems[i].text();
        throw makeError(what);
    }
    int number = 0;
    for (const auto& [name, d] : digests) {
        const JetModelTable* t = m.table(name);
        if (!t) throw makeError("table '" + name + "' is not in the file read back");
        const JetRowDigest& digest = read[name];
        if (d->countOnly ? digest.rows() != d->digest.rows() : !(digest == d->digest))
            throw makeError("the rows of table '" + t->name + "' read back (" + std::to_string(digest.rows()) +
                            ") differ from those written (" + std::to_string(d->digest.rows()) + ")");
        if (onProgress) onProgress("read back", t->name, ++number, static_cast<int>(digests.size()), digest.rows());
    }
    return rows;
}

}  // namespace dex
