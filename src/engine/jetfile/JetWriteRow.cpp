#include "JetWriteRow.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "JetFile.h"

namespace dex::jetfile::jetwrite {

namespace ct = dex::jetfile::coltype;

namespace {

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

int fixedSize(const ColumnPlan& c) { return c.def.type == ct::FixedBinary ? c.def.size : fixedSize(c.def.type); }

namespace {

[[noreturn]] void wrongValue(const ColumnPlan& c, const char* needs) {
    fail(std::string("a ") + columnTypeName(c.def.type) + " column needs " + needs);
}

int64_t wholeNumber(const ColumnPlan& c, const JetValue& v, int64_t lo, int64_t hi) {
    const auto* n = std::get_if<int64_t>(&v);
    if (!n) wrongValue(c, "a whole number");
    if (*n < lo || *n > hi) fail("the value " + std::to_string(*n) + " does not fit in a " + columnTypeName(c.def.type) + " column");
    return *n;
}

void text(Bytes& out, const ColumnPlan& c, const std::string& utf8, const TextCodec& codec, RowBuffers& buffers) {
    if (codec.jet3) {
        out = codePageText(utf8, codec.codePage);
        if (c.def.type == ct::Text && out.size() > static_cast<size_t>(c.def.size))
            fail("a text of " + std::to_string(out.size()) + " bytes is longer than " + std::to_string(c.def.size));
        return;
    }
    auto tooLong = [&](size_t units) {
        if (c.def.type == ct::Text && units > static_cast<size_t>(c.def.size))
            fail("a text of " + std::to_string(units) + " characters is longer than " + std::to_string(c.def.size));
    };
    if (c.compressed) {
        size_t units = 0;
        const bool packed = compressedUnicodeFromUtf8(out, utf8, units);
        tooLong(units);
        if (packed && (c.def.type == ct::Text || units <= 1024)) return;
    }
    std::u16string& units = buffers.units;
    utf16Into(units, utf8);
    tooLong(units.size());
    ucs2Into(out, units);
}

Bytes fixedValue(const ColumnPlan& c, const JetValue& v) {
    Bytes b;
    switch (c.def.type) {
    case ct::Byte: put8(b, static_cast<unsigned>(wholeNumber(c, v, 0, 255))); break;
    case ct::Int: put16(b, static_cast<unsigned>(wholeNumber(c, v, INT16_MIN, INT16_MAX))); break;
    case ct::Long: put32(b, static_cast<uint32_t>(wholeNumber(c, v, INT32_MIN, INT32_MAX))); break;
    case ct::Money: {
        const auto* m = std::get_if<JetCurrency>(&v);
        if (!m) wrongValue(c, "an amount");
        put64(b, static_cast<uint64_t>(m->units));
        break;
    }
    case ct::Float: {
        const auto* x = std::get_if<float>(&v);
        if (!x) wrongValue(c, "a single-precision number");
        uint32_t bits;
        std::memcpy(&bits, x, sizeof bits);
        put32(b, bits);
        break;
    }
    case ct::Double: {
        const auto* d = std::get_if<double>(&v);
        if (!d) wrongValue(c, "a number");
        putDouble(b, *d);
        break;
    }
    case ct::DateTime: {
        const auto* d = std::get_if<JetDateTime>(&v);
        if (!d) wrongValue(c, "a date");
        putDouble(b, d->days);
        break;
    }
    case ct::RepId: {
        const auto* g = std::get_if<JetGuid>(&v);
        if (!g) wrongValue(c, "a GUID");
        b.assign(reinterpret_cast<const char*>(g->bytes.data()), g->bytes.size());
        break;
    }
    case ct::FixedBinary: {
        const auto* x = std::get_if<JetBytes>(&v);
        if (!x || x->bytes.size() > static_cast<size_t>(c.def.size)) wrongValue(c, "bytes of its length");
        b = x->bytes;
        b.resize(static_cast<size_t>(c.def.size), '\0');
        break;
    }
    case ct::Numeric: {
        const auto* d = std::get_if<JetDecimal>(&v);
        if (!d) wrongValue(c, "a decimal number");
        b.assign(reinterpret_cast<const char*>(d->bytes.data()), d->bytes.size());
        break;
    }
    }
    return b;
}

}  // namespace

// The field of one value, into `out` (whose bytes are reused).
void encodeField(Field& out, const ColumnPlan& c, const JetValue& v, const TextCodec& codec, LongValues* longValues,
                 RowBuffers& buffers) {
    out.present = false;
    out.bytes.clear();
    if (c.def.type == ct::Bool) {
        if (const auto* b = std::get_if<bool>(&v)) out.present = *b;
        else if (const auto* n = std::get_if<int64_t>(&v)) out.present = *n != 0;
        else if (!std::holds_alternative<std::monostate>(v)) wrongValue(c, "true or false");
        return;
    }
    if (std::holds_alternative<std::monostate>(v)) return;
    if (c.fixed) {
        out.bytes = fixedValue(c, v);
        out.present = true;
        return;
    }
    const auto* s = std::get_if<std::string>(&v);
    const auto* bytes = std::get_if<JetBytes>(&v);
    switch (c.def.type) {
    case ct::Binary: {
        if (!bytes) wrongValue(c, "bytes");
        if (bytes->bytes.size() > static_cast<size_t>(c.def.size))
            fail(std::to_string(bytes->bytes.size()) + " bytes are longer than " + std::to_string(c.def.size));
        out.bytes = bytes->bytes;
        break;
    }
    case ct::Text:
        if (!s) wrongValue(c, "text");
        text(out.bytes, c, *s, codec, buffers);
        break;
    case ct::Memo:
        if (!s) wrongValue(c, "text");
        text(buffers.text, c, *s, codec, buffers);
        out.bytes = longValues->store(buffers.text);
        break;
    default:  // Ole
        if (!bytes) wrongValue(c, "bytes");
        out.bytes = longValues->store(bytes->bytes);
    }
    out.present = true;
}

namespace {

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

}  // namespace

// The row of the fields, into `row`; `vars` are the table's variable-length columns in order.
void encodeRow(Bytes& row, const TablePlan& t, const std::vector<const ColumnPlan*>& vars, const std::vector<Field>& fields,
               const Format& f, RowBuffers& buffers) {
    const int columnCount = static_cast<int>(t.columns.size());
    row.clear();
    if (f.jet3)
        put8(row, static_cast<unsigned>(columnCount));
    else
        put16(row, static_cast<unsigned>(columnCount));
    const size_t fixedStart = row.size();
    for (const ColumnPlan& c : t.columns) {
        if (!c.fixed) continue;
        const size_t end = fixedStart + static_cast<size_t>(c.fixedOffset + fixedSize(c));
        if (row.size() < end) row.resize(end, '\0');
        const Field& fd = fields[static_cast<size_t>(c.number)];
        const size_t at = fixedStart + static_cast<size_t>(c.fixedOffset);
        if (!fd.present || fd.bytes.empty()) continue;
        if (at + fd.bytes.size() <= row.size())
            std::memcpy(row.data() + at, fd.bytes.data(), fd.bytes.size());
        else
            row.replace(at, fd.bytes.size(), fd.bytes);
    }
    Bytes& mask = buffers.mask;
    mask.assign(static_cast<size_t>((columnCount + 7) / 8), '\0');
    for (const ColumnPlan& c : t.columns)
        if (fields[static_cast<size_t>(c.number)].present) mask[static_cast<size_t>(c.number / 8)] |= static_cast<char>(1 << (c.number % 8));
    if (!vars.empty()) {
        std::vector<int>& offsets = buffers.offsets;
        offsets.clear();
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
}

}  // namespace dex::jetfile::jetwrite
