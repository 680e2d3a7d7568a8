#pragma once
// What the Jet tests share: a private temporary folder, the fixture folder,
// and the import invariant (the store reads back the Jet file's structure
// and rows).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "AnyEngine.h"
#include "UniqueFolder.h"

namespace dex::test {

namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() {
        path_ = makeUniqueFolder("dex_jet");
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// A fixture file's path, or "" when the fixture folder is not there.
inline std::string fixture(const std::string& name) {
    const fs::path p = fs::path(DEX_JET_FIXTURES) / name;
    return fs::exists(p) ? p.string() : std::string();
}

#define DEX_REQUIRE_FIXTURE(var, name)                                                              \
    const std::string var = ::dex::test::fixture(name);                                             \
    if (var.empty()) GTEST_SKIP() << "the Jet fixture folder " DEX_JET_FIXTURES " is not there (" name ")"

inline std::vector<TableDef> userTables(DbEngine& engine, const std::string& path, const std::string& password) {
    std::vector<TableDef> out;
    for (auto& t : engine.openDatabase(path, 0, true, ";pwd=" + password)->tableDefs()) {
        std::string head = t.name.substr(0, 4);
        std::transform(head.begin(), head.end(), head.begin(), ::toupper);
        if (head == "MSYS") continue;
        std::sort(t.indexes.begin(), t.indexes.end(),
                  [](const IndexDef& a, const IndexDef& b) { return a.name < b.name; });
        out.push_back(std::move(t));
    }
    return out;
}

inline void expectSameField(const std::string& table, const FieldDef& a, const FieldDef& b) {
    SCOPED_TRACE(table + "." + a.name);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.size, b.size);
    EXPECT_EQ(a.defaultValue, b.defaultValue);
    EXPECT_EQ(a.required, b.required);
    EXPECT_EQ(a.allowZeroLength, b.allowZeroLength);
}

inline void expectSameIndex(const std::string& table, const IndexDef& a, const IndexDef& b) {
    SCOPED_TRACE(table + " index " + a.name);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.primary, b.primary);
    EXPECT_EQ(a.foreign, b.foreign);
    EXPECT_EQ(a.unique, b.unique);
    EXPECT_EQ(a.fields, b.fields);
    EXPECT_EQ(a.referencedTable, b.referencedTable);
    EXPECT_EQ(a.referencedFields, b.referencedFields);
}

// Cells compare by their text, except that numbers compare by value (a
// Decimal's "12.50" is the store's 12.5).
inline bool sameCell(const Value& a, const Value& b) {
    if (isNull(a) || isNull(b)) return isNull(a) && isNull(b);
    const std::string ta = valueToText(a), tb = valueToText(b);
    if (ta == tb) return true;
    char *ea = nullptr, *eb = nullptr;
    const long double na = std::strtold(ta.c_str(), &ea), nb = std::strtold(tb.c_str(), &eb);
    return ea && eb && *ea == 0 && *eb == 0 && !ta.empty() && !tb.empty() && na == nb;
}

inline std::vector<std::vector<Value>> allRows(DbEngine& engine, const std::string& path, const std::string& password,
                                               const std::string& table) {
    auto conn = engine.openConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
                                      ";Jet OLEDB:Database Password=" + password);
    auto rs = conn->query("SELECT * FROM [" + table + "]");
    std::vector<std::vector<Value>> rows;
    for (; !rs->eof(); rs->moveNext()) {
        std::vector<Value> row;
        for (int i = 0; i < rs->fieldCount(); ++i) row.push_back(rs->field(i));
        rows.push_back(std::move(row));
    }
    return rows;
}

// The invariant of an import: the store's structure and every table's rows
// equal the Jet file's.
inline void expectImportInvariant(const std::string& jetPath, const std::string& storePath,
                                  const std::string& password) {
    auto engine = makeDatabaseEngine();
    const auto jet = userTables(*engine, jetPath, password);
    const auto store = userTables(*engine, storePath, password);
    ASSERT_EQ(jet.size(), store.size());
    for (size_t t = 0; t < jet.size(); ++t) {
        const TableDef &a = jet[t], &b = store[t];
        ASSERT_EQ(a.name, b.name);
        ASSERT_EQ(a.fields.size(), b.fields.size()) << a.name;
        for (size_t f = 0; f < a.fields.size(); ++f) expectSameField(a.name, a.fields[f], b.fields[f]);
        ASSERT_EQ(a.indexes.size(), b.indexes.size()) << a.name;
        for (size_t i = 0; i < a.indexes.size(); ++i) expectSameIndex(a.name, a.indexes[i], b.indexes[i]);
        // Rows compare as sets: a table keyed by an autonumber reads back in key order.
        auto ra = allRows(*engine, jetPath, password, a.name);
        auto rb = allRows(*engine, storePath, password, a.name);
        auto byText = [](const std::vector<Value>& x, const std::vector<Value>& y) {
            for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
                const std::string tx = valueToText(x[i]), ty = valueToText(y[i]);
                if (tx != ty) return tx < ty;
            }
            return false;
        };
        std::sort(ra.begin(), ra.end(), byText);
        std::sort(rb.begin(), rb.end(), byText);
        ASSERT_EQ(ra.size(), rb.size()) << a.name;
        for (size_t r = 0; r < ra.size(); ++r)
            for (size_t c = 0; c < ra[r].size(); ++c)
                EXPECT_TRUE(sameCell(ra[r][c], rb[r][c]))
                    << a.name << " row " << r << " column " << a.fields[c].name << ": '" << valueToText(ra[r][c])
                    << "' against '" << valueToText(rb[r][c]) << "'";
    }
}

}  // namespace dex::test
