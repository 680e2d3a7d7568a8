#include "JetTable.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <stdexcept>

#include "IndexKey.h"
#include "IndexPages.h"
#include "JetFile.h"

namespace dex::testjet::detail {

namespace ct = dex::jetfile::coltype;
namespace jf = dex::jetfile;

namespace {

constexpr uint32_t TableMagic = 1625, IndexMagic = 1923;

[[noreturn]] void fail(const std::string& message) { throw std::runtime_error(message); }

// Bytes a fixed column takes in the row (Bool lives in the null mask).
int fixedSize(int type) {
    switch (type) {
    case ct::Bool: return 0;
    case ct::Byte: return 1;
    case ct::Int: return 2;
    case ct::Long: case ct::Float: return 4;
    case ct::Money: case ct::Double: case ct::DateTime: return 8;
    case ct::RepId: return 16;
    case ct::Numeric: return 17;
    default: return -1;  // variable
    }
}

}  // namespace

bool ColumnPlan::longValue() const { return def.type == ct::Memo || def.type == ct::Ole; }

Bytes TextCodec::plain(const std::string& utf8) const {
    return jet3 ? codePageText(utf8, codePage) : ucs2(utf16(utf8));
}

Bytes TextCodec::name(const std::string& utf8) const {
    const Bytes text = plain(utf8);
    Bytes out;
    if (jet3) {
        if (text.size() > 255) fail("name too long: " + utf8);
        put8(out, static_cast<unsigned>(text.size()));
    } else {
        put16(out, static_cast<unsigned>(text.size()));
    }
    return out + text;
}

void layoutColumns(TablePlan& t, const Format& f) {
    if (t.columns.empty() || t.columns.size() > 255) fail("table " + t.name + " needs 1 to 255 columns");
    int fixedOffset = 0, varIndex = 0;
    for (size_t i = 0; i < t.columns.size(); ++i) {
        ColumnPlan& c = t.columns[i];
        const int type = c.def.type;
        if (type < ct::Bool || (type > ct::Memo && type != ct::RepId && type != ct::Numeric))
            fail("table " + t.name + " column " + c.def.name + ": unknown type " + std::to_string(type));
        if (f.jet3 && type == ct::Numeric) fail("table " + t.name + " column " + c.def.name + ": Jet 3 has no Numeric");
        if (c.def.autonumber && type != ct::Long && type != ct::RepId)
            fail("table " + t.name + " column " + c.def.name + ": only Long and RepId columns can be autonumbers");
        c.number = static_cast<int>(i);
        const int size = fixedSize(type);
        c.fixed = size >= 0;
        c.flags = 0x02 | (c.fixed ? 0x01 : 0) | (t.system ? 0x10 : 0);
        if (c.def.autonumber) c.flags |= type == ct::Long ? 0x04 : 0x40;
        if (c.fixed) {
            c.fixedOffset = fixedOffset;
            fixedOffset += size;
            c.storedLength = type == ct::Bool ? 1 : size;
        } else {
            c.varIndex = varIndex++;
            if (c.def.size <= 0 && (type == ct::Text || type == ct::Binary)) c.def.size = 255;
            if (c.def.size > 255) fail("table " + t.name + " column " + c.def.name + ": size over 255");
            c.storedLength = type == ct::Text ? c.def.size * (f.jet3 ? 1 : 2) : type == ct::Binary ? c.def.size : 0;
            c.compressed = !f.jet3 && !t.system && (type == ct::Text || type == ct::Memo);
        }
        if (type == ct::Numeric && (c.def.precision < 1 || c.def.precision > 28 || c.def.scale < 0 ||
                                    c.def.scale > c.def.precision))
            fail("table " + t.name + " column " + c.def.name + ": bad precision/scale");
    }
}

// ---------------------------------------------------------------- values

namespace {

struct Field {
    bool present = false;  // the null-mask bit (for Bool: the value)
    Bytes bytes;
};

int64_t asInteger(const Value& v, int64_t lo, int64_t hi) {
    int64_t n = 0;
    if (const auto* i = std::get_if<int64_t>(&v)) {
        n = *i;
    } else if (const auto* d = std::get_if<double>(&v)) {
        if (std::trunc(*d) != *d || std::fabs(*d) > 9.2e18) fail("not a whole number");
        n = static_cast<int64_t>(*d);
    } else {
        const std::string& s = std::get<std::string>(v);
        size_t used = 0;
        try {
            n = std::stoll(s, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used == 0 || used != s.size()) fail("not a whole number \"" + s + "\"");
    }
    if (n < lo || n > hi) fail("value " + std::to_string(n) + " out of range");
    return n;
}

double asDouble(const Value& v) {
    if (const auto* i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
    if (const auto* d = std::get_if<double>(&v)) return *d;
    const std::string& s = std::get<std::string>(v);
    char* end = nullptr;
    const double d = std::strtod(s.c_str(), &end);
    if (s.empty() || end != s.c_str() + s.size()) fail("not a number \"" + s + "\"");
    return d;
}

bool asBool(const Value& v) {
    if (const auto* s = std::get_if<std::string>(&v)) {
        if (*s == "True" || *s == "true" || *s == "Yes" || *s == "yes" || *s == "-1" || *s == "1") return true;
        if (*s == "False" || *s == "false" || *s == "No" || *s == "no" || *s == "0" || s->empty()) return false;
        fail("not a Boolean \"" + *s + "\"");
    }
    return asDouble(v) != 0;
}

Decimal asDecimal(const Value& v, int scale) {
    if (const auto* i = std::get_if<int64_t>(&v)) return parseDecimal(std::to_string(*i), scale);
    if (const auto* d = std::get_if<double>(&v)) {
        if (!std::isfinite(*d) || std::fabs(*d) >= 1e28) fail("number out of range");
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*f", scale, *d);
        return parseDecimal(buf, scale);
    }
    return parseDecimal(std::get<std::string>(v), scale);
}

Bytes money(const Value& v) {
    int64_t units;
    if (const auto* d = std::get_if<double>(&v)) {
        if (!std::isfinite(*d) || std::fabs(*d) > 9.2e14) fail("currency out of range");
        units = std::llround(*d * 10000.0);
    } else {
        const Decimal dec = asDecimal(v, 4);
        if (dec.units > static_cast<unsigned __int128>(std::numeric_limits<int64_t>::max())) fail("currency out of range");
        units = static_cast<int64_t>(dec.units) * (dec.negative ? -1 : 1);
    }
    Bytes b;
    put64(b, static_cast<uint64_t>(units));
    return b;
}

Bytes numeric(const Value& v, const WColumn& c) {
    const Decimal dec = asDecimal(v, c.scale);
    unsigned __int128 limit = 1;
    for (int i = 0; i < c.precision; ++i) limit *= 10;
    if (dec.units >= limit) fail("more digits than precision " + std::to_string(c.precision));
    Bytes b;
    put8(b, dec.negative ? 0x80 : 0);
    for (int word = 3; word >= 0; --word) put32(b, static_cast<uint32_t>(dec.units >> (32 * word)));
    return b;
}

Bytes text(const ColumnPlan& c, const std::string& utf8, const TextCodec& codec) {
    const std::u16string units = utf16(utf8);
    if (c.def.type == ct::Text && units.size() > static_cast<size_t>(c.def.size))
        fail("text of " + std::to_string(units.size()) + " characters is longer than " + std::to_string(c.def.size));
    if (codec.jet3) return codePageText(utf8, codec.codePage);
    if (c.compressed && (c.def.type == ct::Text || units.size() <= 1024)) {
        Bytes packed = compressedUnicode(units);
        if (!packed.empty()) return packed;
    }
    return ucs2(units);
}

const std::string& bytesOf(const Value& v) {
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    fail("binary values are byte strings");
}

Bytes fixedValue(const ColumnPlan& c, const Value& v) {
    Bytes b;
    switch (c.def.type) {
    case ct::Byte: put8(b, static_cast<unsigned>(asInteger(v, 0, 255))); break;
    case ct::Int: put16(b, static_cast<unsigned>(asInteger(v, -32768, 32767))); break;
    case ct::Long: put32(b, static_cast<uint32_t>(asInteger(v, INT32_MIN, INT32_MAX))); break;
    case ct::Money: return money(v);
    case ct::Float: {
        const float x = static_cast<float>(asDouble(v));
        uint32_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        put32(b, bits);
        break;
    }
    case ct::Double: putDouble(b, asDouble(v)); break;
    case ct::DateTime: {
        const auto* s = std::get_if<std::string>(&v);
        putDouble(b, s ? jetDate(*s) : asDouble(v));
        break;
    }
    case ct::RepId: {
        const std::string& s = bytesOf(v);
        return s.size() == 16 ? s : guidBytes(s);
    }
    case ct::Numeric: return numeric(v, c.def);
    }
    return b;
}

Field encodeField(const ColumnPlan& c, const Value& v, const TextCodec& codec, LongValues* longValues) {
    if (c.def.type == ct::Bool) return {!isNull(v) && asBool(v), {}};
    if (isNull(v)) return {};
    if (c.fixed) return {true, fixedValue(c, v)};
    switch (c.def.type) {
    case ct::Binary: {
        const std::string& s = bytesOf(v);
        if (s.size() > static_cast<size_t>(c.def.size))
            fail(std::to_string(s.size()) + " bytes are longer than " + std::to_string(c.def.size));
        return {true, s};
    }
    case ct::Text: return {true, text(c, std::get_if<std::string>(&v) ? std::get<std::string>(v) : valueToText(v), codec)};
    case ct::Memo:
        return {true, longValues->store(text(c, std::get_if<std::string>(&v) ? std::get<std::string>(v) : valueToText(v), codec))};
    default: return {true, longValues->store(bytesOf(v))};  // Ole
    }
}

// The variable-length trailer of a Jet 3 row: offsets are single bytes, so a
// jump table names the first column of each further 256-byte stretch.
void jet3Trailer(Bytes& row, std::vector<int> offsets, int maskBytes) {
    const int eod = static_cast<int>(row.size());
    offsets.push_back(eod);
    const int varCount = static_cast<int>(offsets.size()) - 1;
    int jumps = 0;
    for (;;) {
        const int total = eod + 1 + varCount + jumps + 1 + maskBytes;
        const int need = (total - 1) / 256;
        if (need == jumps) break;
        jumps = need;
    }
    if (jumps - eod / 256 > 1) fail("row layout beyond Jet 3's jump table");
    put8(row, static_cast<unsigned>(eod));
    for (int i = varCount - 1; i >= 0; --i) put8(row, static_cast<unsigned>(offsets[static_cast<size_t>(i)]));
    for (int k = jumps - 1; k >= 0; --k) {
        int first = 0xFF;
        for (int i = 0; i <= varCount; ++i)
            if (offsets[static_cast<size_t>(i)] >= (k + 1) * 256) {
                first = i;
                break;
            }
        put8(row, static_cast<unsigned>(first));
    }
    put8(row, static_cast<unsigned>(varCount));
}

Bytes encodeRow(const TablePlan& t, const std::vector<Field>& fields, const Format& f) {
    const int columnCount = static_cast<int>(t.columns.size());
    Bytes row;
    if (f.jet3)
        put8(row, static_cast<unsigned>(columnCount));
    else
        put16(row, static_cast<unsigned>(columnCount));
    const size_t fixedStart = row.size();
    std::vector<const ColumnPlan*> vars;
    for (const ColumnPlan& c : t.columns) {
        if (!c.fixed) {
            vars.push_back(&c);
            continue;
        }
        const size_t end = fixedStart + static_cast<size_t>(c.fixedOffset + fixedSize(c.def.type));
        if (row.size() < end) row.resize(end, '\0');
        const Field& fd = fields[static_cast<size_t>(c.number)];
        if (fd.present && !fd.bytes.empty()) row.replace(fixedStart + static_cast<size_t>(c.fixedOffset), fd.bytes.size(), fd.bytes);
    }
    Bytes mask(static_cast<size_t>((columnCount + 7) / 8), '\0');
    for (const ColumnPlan& c : t.columns)
        if (fields[static_cast<size_t>(c.number)].present) mask[static_cast<size_t>(c.number / 8)] |= static_cast<char>(1 << (c.number % 8));
    if (!vars.empty()) {
        std::vector<int> offsets;
        for (const ColumnPlan* c : vars) {
            offsets.push_back(static_cast<int>(row.size()));
            const Field& fd = fields[static_cast<size_t>(c->number)];
            if (fd.present) row += fd.bytes;
        }
        if (f.jet3) {
            jet3Trailer(row, offsets, static_cast<int>(mask.size()));
        } else {
            put16(row, static_cast<unsigned>(row.size()));
            for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) put16(row, static_cast<unsigned>(*it));
            put16(row, static_cast<unsigned>(vars.size()));
        }
    }
    row += mask;
    if (row.size() > static_cast<size_t>(f.maxRowSize))
        fail("row of " + std::to_string(row.size()) + " bytes is larger than a page allows");
    return row;
}

// ---------------------------------------------------------------- table definition

struct TableDefRefs {
    uint32_t rows = 0, autonumber = 0;
    uint32_t ownedMap = 0, freeMap = 0;
    std::vector<uint32_t> indexMaps;
    std::vector<int> indexRoots;
    std::map<int, std::pair<uint32_t, uint32_t>> longValueMaps;  // column number -> owned, free
    std::function<int(const std::string&)> pageOf;
};

void putColumn(Bytes& b, const ColumnPlan& c, const Format& f, const TextCodec& codec, int sortOrder) {
    put8(b, static_cast<unsigned>(c.def.type));
    if (!f.jet3) put32(b, TableMagic);
    put16(b, static_cast<unsigned>(c.number));
    put16(b, static_cast<unsigned>(c.fixed ? 0 : c.varIndex));
    put16(b, static_cast<unsigned>(c.number));
    const bool textual = c.def.type == ct::Text || c.def.type == ct::Memo;
    if (f.jet3) {
        put16(b, textual ? static_cast<unsigned>(sortOrder) : 0);
        put16(b, textual ? static_cast<unsigned>(codec.codePage) : 0);
        put16(b, 0);
        put8(b, static_cast<unsigned>(c.flags));
    } else {
        if (c.def.type == ct::Numeric) {
            put8(b, static_cast<unsigned>(c.def.precision));
            put8(b, static_cast<unsigned>(c.def.scale));
            put16(b, 0);
        } else {
            put16(b, static_cast<unsigned>(sortOrder));
            put16(b, 0);
        }
        put8(b, static_cast<unsigned>(c.flags));
        put8(b, c.compressed ? 1 : 0);
        put32(b, 0);
    }
    put16(b, static_cast<unsigned>(c.fixed ? c.fixedOffset : 0));
    put16(b, static_cast<unsigned>(c.storedLength));
}

void putPhysical(Bytes& b, const PhysicalIndex& p, const Format& f, uint32_t map, int root) {
    if (!f.jet3) put32(b, IndexMagic);
    for (size_t k = 0; k < 10; ++k) {
        if (k < p.columns.size()) {
            put16(b, static_cast<unsigned>(p.columns[k]));
            put8(b, p.ascending[k] ? 1 : 0);
        } else {
            put16(b, 0xFFFF);
            put8(b, 0);
        }
    }
    put32(b, map);
    put32(b, static_cast<uint32_t>(root));
    if (!f.jet3) put32(b, 0);
    put8(b, static_cast<unsigned>(p.flags));
    if (!f.jet3) b.append(5, '\0');
}

void putLogical(Bytes& b, const LogicalIndex& l, const Format& f, const TableDefRefs& refs) {
    if (!f.jet3) put32(b, TableMagic);
    put32(b, static_cast<uint32_t>(l.number));
    put32(b, static_cast<uint32_t>(l.physical));
    const bool fk = l.type == 2;
    put8(b, fk ? static_cast<unsigned>(l.relTableType) : 0);
    put32(b, static_cast<uint32_t>(fk ? l.relIndexNumber : -1));
    put32(b, fk && refs.pageOf ? static_cast<uint32_t>(refs.pageOf(l.relTable)) : 0);
    const unsigned none = f.jet3 ? 0 : 4;  // what Access leaves in these bytes of other indexes
    put8(b, fk ? (l.cascadeUpdate ? 1 : 0) : none);
    put8(b, fk ? (l.cascadeDelete ? 1 : 0) : none);
    put8(b, static_cast<unsigned>(l.type));
    if (!f.jet3) put32(b, 0);
}

Bytes buildTableDef(const TablePlan& t, const Format& f, const TextCodec& codec, int sortOrder, const TableDefRefs& refs) {
    Bytes b;
    put8(b, 0x02);
    put8(b, 0x01);
    if (f.jet3)
        b.append("VC");
    else
        put16(b, 0);  // free space, set when the pages are written
    put32(b, 0);      // next page
    put32(b, 0);  // total length, set below
    if (!f.jet3) put32(b, TableMagic);
    put32(b, refs.rows);
    put32(b, refs.autonumber);
    if (!f.jet3) {
        put8(b, 1);
        b.append(15, '\0');
    }
    int varCount = 0;
    for (const ColumnPlan& c : t.columns) varCount += c.fixed ? 0 : 1;
    put8(b, t.system ? 0x53 : 0x4E);
    put16(b, static_cast<unsigned>(t.columns.size()));
    put16(b, static_cast<unsigned>(varCount));
    put16(b, static_cast<unsigned>(t.columns.size()));
    put32(b, static_cast<uint32_t>(t.logical.size()));
    put32(b, static_cast<uint32_t>(t.physical.size()));
    put32(b, refs.ownedMap);
    put32(b, refs.freeMap);
    for (size_t i = 0; i < t.physical.size(); ++i) {
        put32(b, 0);
        put32(b, 0);  // the count of distinct keys: a hint Access keeps, left 0
        if (!f.jet3) put32(b, 0);
    }
    for (const ColumnPlan& c : t.columns) putColumn(b, c, f, codec, sortOrder);
    for (const ColumnPlan& c : t.columns) b += codec.name(c.def.name);
    for (size_t i = 0; i < t.physical.size(); ++i)
        putPhysical(b, t.physical[i], f, i < refs.indexMaps.size() ? refs.indexMaps[i] : 0,
                    i < refs.indexRoots.size() ? refs.indexRoots[i] : 0);
    for (const LogicalIndex& l : t.logical) putLogical(b, l, f, refs);
    for (const LogicalIndex& l : t.logical) b += codec.name(l.name);
    for (const ColumnPlan& c : t.columns) {
        if (!c.longValue()) continue;
        const auto it = refs.longValueMaps.find(c.number);
        put16(b, static_cast<unsigned>(c.number));
        put32(b, it == refs.longValueMaps.end() ? 0 : it->second.first);
        put32(b, it == refs.longValueMaps.end() ? 0 : it->second.second);
    }
    put16(b, 0xFFFF);
    set32(b, 8, static_cast<uint32_t>(b.size()));
    return b;
}

// Spreads a table definition over its pages: each further page has its own
// 8-byte header, and each page points to the next.
void writeTableDefPages(PageFile& file, const std::vector<int>& pages, const Bytes& def) {
    const Format& f = file.format();
    const size_t ps = static_cast<size_t>(f.pageSize);
    size_t used = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        Bytes& p = file.page(pages[i]);
        std::fill(p.begin(), p.end(), '\0');
        size_t at = 0;
        if (i > 0) {
            p.replace(0, 4, def.substr(0, 4));
            at = 8;
        }
        const size_t n = std::min(ps - at, def.size() - used);
        p.replace(at, n, def.substr(used, n));
        used += n;
        if (i + 1 < pages.size()) set32(p, 4, static_cast<uint32_t>(pages[i + 1]));
        if (!f.jet3) set16(p, 2, static_cast<unsigned>(ps - at - n >= 8 ? ps - at - n - 8 : 0));
    }
    if (used != def.size()) fail("table definition larger than its reserved pages");
}

void writeEmptyLeaf(Bytes& p, const Format& f, int tdefPage) {
    p[0] = 0x04;
    p[1] = 0x01;
    set16(p, 2, static_cast<unsigned>(f.pageSize - (f.jet3 ? 0xF8 : 0x1E0)));
    set32(p, 4, static_cast<uint32_t>(tdefPage));
}

}  // namespace

size_t tableDefSize(const TablePlan& t, const Format& f, const TextCodec& codec) {
    return buildTableDef(t, f, codec, 0, TableDefRefs{}).size();
}

namespace {

// The encoded rows of a table; long values go to their columns' LVAL pages
// as they are met. Also notes the highest autonumber.
std::vector<Bytes> encodeRows(const TablePlan& t, const TextCodec& codec, const Format& f,
                              std::map<int, LongValues>& longValues, uint32_t& autonumber) {
    std::vector<Bytes> rows;
    rows.reserve(t.rows.size());
    for (size_t r = 0; r < t.rows.size(); ++r) {
        const std::string where = "table " + t.name + " row " + std::to_string(r + 1);
        const auto& values = t.rows[r];
        if (values.size() != t.columns.size())
            fail(where + ": " + std::to_string(values.size()) + " values for " + std::to_string(t.columns.size()) +
                 " columns");
        std::vector<Field> fields(t.columns.size());
        for (const ColumnPlan& c : t.columns) {
            const Value& v = values[static_cast<size_t>(c.number)];
            try {
                auto lv = longValues.find(c.number);
                fields[static_cast<size_t>(c.number)] =
                    encodeField(c, v, codec, lv == longValues.end() ? nullptr : &lv->second);
            } catch (const std::runtime_error& e) {
                fail(where + " column " + c.def.name + ": " + e.what());
            }
            if (c.def.autonumber && c.def.type == ct::Long && std::holds_alternative<int64_t>(v))
                autonumber = std::max(autonumber, static_cast<uint32_t>(std::max<int64_t>(0, std::get<int64_t>(v))));
        }
        try {
            rows.push_back(encodeRow(t, fields, f));
        } catch (const std::runtime_error& e) {
            fail(where + ": " + e.what());
        }
    }
    return rows;
}

// Rows on consecutive data pages of the table; the pages' numbers. places
// receives each row's page and row number.
std::vector<int> writeDataPages(PageFile& file, const std::vector<Bytes>& rows, int tdefPage,
                                std::vector<jf::RowPointer>& places) {
    const Format& f = file.format();
    std::vector<int> pages;
    for (const Bytes& row : rows) {
        int at = pages.empty() ? -1 : rowpage::add(file.page(pages.back()), f, row);
        if (at < 0) {
            pages.push_back(file.allocate());
            rowpage::init(file.page(pages.back()), f, static_cast<uint32_t>(tdefPage));
            at = rowpage::add(file.page(pages.back()), f, row);
        }
        places.push_back(jf::RowPointer{static_cast<uint32_t>(pages.back()), static_cast<uint8_t>(at)});
    }
    return pages;
}

// One value as the index encoder takes it (exact, as the row stores it).
jf::KeyValue keyValue(const ColumnPlan& c, const Value& v) {
    if (c.def.type == ct::Bool) return !isNull(v) && asBool(v);
    if (isNull(v)) return std::monostate{};
    switch (c.def.type) {
    case ct::Byte: case ct::Int: case ct::Long: return asInteger(v, INT32_MIN, INT32_MAX);
    case ct::Money: {
        const Bytes b = money(v);
        uint64_t units = 0;
        for (int i = 7; i >= 0; --i) units = units << 8 | static_cast<uint8_t>(b[static_cast<size_t>(i)]);
        return static_cast<int64_t>(units);
    }
    case ct::Float: return static_cast<double>(static_cast<float>(asDouble(v)));
    case ct::Double: return asDouble(v);
    case ct::DateTime: {
        const auto* s = std::get_if<std::string>(&v);
        return s ? jetDate(*s) : asDouble(v);
    }
    case ct::RepId: {
        const std::string& s = bytesOf(v);
        const Bytes g = s.size() == 16 ? s : guidBytes(s);
        jf::KeyGuid out;
        std::copy(g.begin(), g.end(), out.stored.begin());
        return out;
    }
    case ct::Numeric: {
        const Bytes b = numeric(v, c.def);
        return jf::decimalFromStored(reinterpret_cast<const uint8_t*>(b.data()));
    }
    default: return std::get_if<std::string>(&v) ? std::get<std::string>(v) : valueToText(v);
    }
}

// The B-tree of one physical index over the table's rows, its root on the
// page the definition names. Keys that cannot be computed (Jet 3 text, a
// sort order other than General) leave the empty root leaf: its pages.
std::vector<int> writeIndexTree(PageFile& file, const TablePlan& t, const PhysicalIndex& p, int root, int sortOrder,
                                const std::vector<jf::RowPointer>& places) {
    const Format& f = file.format();
    std::vector<jf::IndexKeyColumn> columns;
    for (size_t k = 0; k < p.columns.size(); ++k) {
        jf::IndexKeyColumn kc;
        kc.type = t.columns[static_cast<size_t>(p.columns[k])].def.type;
        kc.descending = !p.ascending[k];
        kc.generalSortOrder = jf::isJet4GeneralSortOrder(sortOrder, f.jet3);
        kc.scale = t.columns[static_cast<size_t>(p.columns[k])].def.scale;
        columns.push_back(kc);
    }
    std::vector<jf::IndexEntry> entries;
    try {
        for (size_t r = 0; r < t.rows.size(); ++r) {
            std::vector<jf::KeyValue> values;
            for (int col : p.columns)
                values.push_back(keyValue(t.columns[static_cast<size_t>(col)], t.rows[r][static_cast<size_t>(col)]));
            if (!jf::rowHasIndexEntry(p.flags & 0x02, values)) continue;
            entries.push_back(jf::IndexEntry{jf::encodeIndexKey(columns, values), places[r], 0});
        }
    } catch (const jf::IndexKeyError&) {
        return {root};
    }
    jf::IndexTreeOptions options;
    options.jet3 = f.jet3;
    options.rootPage = static_cast<uint32_t>(root);
    const jf::IndexTree tree = jf::buildIndexTree(
        std::move(entries), static_cast<uint32_t>(t.tdefPages.front()), options,
        [&] { return static_cast<uint32_t>(file.allocate()); },
        [&](uint32_t page, std::vector<uint8_t> bytes) { file.page(static_cast<int>(page)).assign(bytes.begin(), bytes.end()); });
    return std::vector<int>(tree.pages.begin(), tree.pages.end());
}

}  // namespace

void TableWriter::write(const TablePlan& t) {
    const Format& f = file.format();
    const int tdefPage = t.tdefPages.front();
    TableDefRefs refs;
    refs.pageOf = tdefPageOf;
    const MapSlot owned = maps.reserve(), freeMap = maps.reserve();
    refs.ownedMap = owned.pointer();
    refs.freeMap = freeMap.pointer();
    std::vector<MapSlot> indexSlots;
    for (size_t i = 0; i < t.physical.size(); ++i) {  // each index: its root page, an empty leaf until the rows are in
        indexSlots.push_back(maps.reserve());
        const int root = file.allocate();
        writeEmptyLeaf(file.page(root), f, tdefPage);
        refs.indexMaps.push_back(indexSlots.back().pointer());
        refs.indexRoots.push_back(root);
    }
    std::map<int, LongValues> longValues;
    std::map<int, std::pair<MapSlot, MapSlot>> longValueSlots;
    for (const ColumnPlan& c : t.columns)
        if (c.longValue()) {
            longValues.emplace(c.number, LongValues(file));
            longValueSlots[c.number] = {maps.reserve(), maps.reserve()};
        }

    const std::vector<Bytes> rows = encodeRows(t, codec, f, longValues, refs.autonumber);
    refs.rows = static_cast<uint32_t>(rows.size());
    std::vector<jf::RowPointer> places;
    maps.write(owned, writeDataPages(file, rows, tdefPage, places));
    for (size_t i = 0; i < t.physical.size(); ++i)
        maps.write(indexSlots[i], writeIndexTree(file, t, t.physical[i], refs.indexRoots[i], sortOrder, places));
    maps.write(freeMap, {});
    for (const auto& [number, slots] : longValueSlots) {
        maps.write(slots.first, longValues.at(number).pages());
        maps.write(slots.second, {});
        refs.longValueMaps[number] = {slots.first.pointer(), slots.second.pointer()};
    }
    writeTableDefPages(file, t.tdefPages, buildTableDef(t, f, codec, sortOrder, refs));
}

}  // namespace dex::testjet::detail
