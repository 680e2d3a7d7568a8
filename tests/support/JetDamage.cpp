#include "JetDamage.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "JetModel.h"
#include "JetWriteEncoding.h"

namespace dex::test {

using jetfile::jetwrite::get16;
using jetfile::jetwrite::get32;
using jetfile::jetwrite::set32;

namespace {
constexpr size_t kPage = 4096;
}

WTable memoTable(const std::string& name, int rows, size_t firstBytes, size_t otherBytes) {
    WTable t;
    t.name = name;
    t.columns.resize(2);
    t.columns[0].name = "id", t.columns[0].type = 0x04;
    t.columns[1].name = "note", t.columns[1].type = 0x0C;
    for (int i = 0; i < rows; ++i) t.rows.push_back({int64_t{i}, std::string(i == 0 ? firstBytes : otherBytes, 'n')});
    return t;
}

WTable labelTable(const std::string& name, int rows) {
    WTable t;
    t.name = name;
    t.columns.resize(2);
    t.columns[0].name = "id", t.columns[0].type = 0x04;
    t.columns[1].name = "label", t.columns[1].type = 0x0A, t.columns[1].size = 40;
    for (int i = 0; i < rows; ++i) t.rows.push_back({int64_t{i}, "label " + std::to_string(i)});
    return t;
}

std::string readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void forEachStoredRow(std::string& file, uint32_t tdefPage,
                      const std::function<void(size_t page, size_t start, size_t end)>& f) {
    for (size_t p = 0; p + kPage <= file.size(); p += kPage) {
        if (file[p] != 0x01 || get32(file, p + 4) != tdefPage) continue;
        const unsigned rows = get16(file, p + 12);
        size_t end = kPage;
        for (unsigned r = 0; r < rows; ++r) {
            const unsigned offset = get16(file, p + 14 + 2 * r);
            const size_t start = offset & 0x1FFF;
            if (!(offset & 0xC000)) f(p, p + start, p + end);
            end = start;
        }
    }
}

uint32_t tableDefPageOf(const std::string& file, const std::string& table) {
    // MSysObjects' rows (definition page 2): the writer stores system text
    // uncompressed, so the name appears as UCS-2; the Id is the first fixed column.
    const std::string name = jetfile::jetwrite::ucs2(jetfile::jetwrite::utf16(table));
    std::string copy = file;
    uint32_t found = 0;
    forEachStoredRow(copy, 2, [&](size_t, size_t start, size_t end) {
        if (file.substr(start, end - start).find(name) != std::string::npos) found = get32(file, start + 2);
    });
    if (!found) throw std::runtime_error("no table " + table + " in the catalog");
    return found;
}

void shareFirstLongValue(const std::string& path, const std::string& table, size_t fieldOffset) {
    std::string file = readFileBytes(path);
    std::string first;
    forEachStoredRow(file, tableDefPageOf(file, table), [&](size_t, size_t start, size_t) {
        if (first.empty())
            first = file.substr(start + fieldOffset, 12);
        else
            file.replace(start + fieldOffset, 12, first);
    });
    writeFileBytes(path, file);
}

void loopFirstLongValue(const std::string& path, const std::string& table, size_t fieldOffset) {
    std::string file = readFileBytes(path);
    uint32_t pointer = 0;
    forEachStoredRow(file, tableDefPageOf(file, table), [&](size_t, size_t start, size_t) {
        if (pointer) return;
        pointer = get32(file, start + fieldOffset + 4);
        set32(file, start + fieldOffset, 500000000);  // the declared length: far more than the file
    });
    const size_t page = (pointer >> 8) * kPage;
    const size_t row = pointer & 0xFF;
    const size_t start = page + (get16(file, page + 14 + 2 * row) & 0x1FFF);
    set32(file, start, pointer);
    writeFileBytes(path, file);
}

namespace {
// The first data page of the table and its definition page.
std::pair<size_t, uint32_t> firstDataPage(const std::string& file, const std::string& table) {
    const uint32_t tdef = tableDefPageOf(file, table);
    for (size_t p = kPage; p + kPage <= file.size(); p += kPage)
        if (file[p] == 0x01 && get32(file, p + 4) == tdef) return {p, tdef};
    throw std::runtime_error("table " + table + " has no data page");
}
}  // namespace

void copyFirstRow(const std::string& path, const std::string& table) {
    std::string file = readFileBytes(path);
    const auto [from, tdef] = firstDataPage(file, table);
    const size_t first = get16(file, from + 14) & 0x1FFF;
    const std::string row = file.substr(from + first, kPage - first);
    size_t p = from;  // the table's last data page: the one with room
    for (size_t q = from; q + kPage <= file.size(); q += kPage)
        if (file[q] == 0x01 && get32(file, q + 4) == tdef) p = q;
    const unsigned rows = get16(file, p + 12);
    const size_t last = get16(file, p + 14 + 2 * (rows - 1)) & 0x1FFF;
    const size_t start = last - row.size();
    if (start < 14 + 2 * (rows + 1)) throw std::runtime_error("no room for another row");
    file.replace(p + start, row.size(), row);
    jetfile::jetwrite::set16(file, p + 14 + 2 * rows, static_cast<unsigned>(start));
    jetfile::jetwrite::set16(file, p + 12, rows + 1);
    set32(file, tdef * kPage + 16, get32(file, tdef * kPage + 16) + 1);
    writeFileBytes(path, file);
}

void deleteFirstRow(const std::string& path, const std::string& table) {
    std::string file = readFileBytes(path);
    const auto [p, tdef] = firstDataPage(file, table);
    jetfile::jetwrite::set16(file, p + 14, get16(file, p + 14) | 0x8000);
    set32(file, tdef * kPage + 16, get32(file, tdef * kPage + 16) - 1);
    writeFileBytes(path, file);
}

void makeIndexUnique(const std::string& path, const std::string& table, size_t physical) {
    std::string raw;
    uint32_t tdef = 0;
    {
        const auto model = jetfile::JetModel::open(path, "");
        const jetfile::JetModelTable* t = model->table(table);
        if (!t || physical >= t->def.physicalIndexes.size()) throw std::runtime_error("no such index in " + table);
        raw = t->def.physicalIndexes[physical].raw;
        tdef = t->page;
    }
    std::string file = readFileBytes(path);
    // The entry as stored on the definition's first page; its flags at 46 (Jet 4).
    const size_t at = file.substr(tdef * kPage, kPage).find(raw);
    if (at == std::string::npos || raw.size() != 52) throw std::runtime_error("the index entry is not on the first definition page");
    file[tdef * kPage + at + 46] = static_cast<char>(file[tdef * kPage + at + 46] | 0x01);
    writeFileBytes(path, file);
}

}  // namespace dex::test
