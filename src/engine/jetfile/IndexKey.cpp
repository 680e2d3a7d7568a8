#include "IndexKey.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

#include "GeneralSortOrder.h"
#include "JetFile.h"
#include "LittleEndian.h"

namespace dex::jetfile {
namespace {

constexpr uint8_t kAscendingFlag = 0x7F, kDescendingFlag = 0x80;
constexpr uint8_t kAscendingNull = 0x00, kDescendingNull = 0xFF;
constexpr uint8_t kTrue = 0x00, kFalse = 0xFF;
constexpr int kGeneralSortOrder = 0x409;
constexpr size_t kSegment = 8;
constexpr uint8_t kMoreSegments = 9;
constexpr uint8_t kPositiveDecimal = 0xFF, kNegativeDecimal = 0x00;

using Bytes = std::vector<uint8_t>;

// A Replication ID's bytes between a row's order (the first three fields
// little-endian) and its text order; the same swap both ways.
constexpr std::array<size_t, 16> kGuidSwap = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};

}  // namespace

const char* columnTypeName(int type) {
    switch (type) {
        case coltype::Bool: return "Yes/No";
        case coltype::Byte: return "Byte";
        case coltype::Int: return "Integer";
        case coltype::Long: return "Long";
        case coltype::Money: return "Currency";
        case coltype::Float: return "Single";
        case coltype::Double: return "Double";
        case coltype::DateTime: return "Date/Time";
        case coltype::Binary: return "Binary";
        case coltype::Text: return "Text";
        case coltype::Ole: return "OLE Object";
        case coltype::Memo: return "Memo";
        case coltype::RepId: return "Replication ID";
        case coltype::Numeric: return "Decimal";
        default: return "unknown";
    }
}

namespace {

std::string typeText(int type) { return std::to_string(type) + " (" + columnTypeName(type) + ")"; }

void invert(Bytes& b, size_t from = 0) {
    for (size_t i = from; i < b.size(); ++i) b[i] = static_cast<uint8_t>(~b[i]);
}

Bytes bigEndian(uint64_t v, int size) {
    Bytes b(static_cast<size_t>(size));
    for (int i = size - 1; i >= 0; --i, v >>= 8) b[static_cast<size_t>(i)] = static_cast<uint8_t>(v & 0xFF);
    return b;
}

[[noreturn]] void wrongValue(int type, const char* expected) {
    throw IndexKeyError("a " + std::string(columnTypeName(type)) + " key needs " + expected);
}

int64_t integerOf(const IndexKeyColumn& col, const KeyValue& v, int64_t lowest, int64_t highest) {
    const int64_t* n = std::get_if<int64_t>(&v);
    if (!n) wrongValue(col.type, "a whole number");
    if (*n < lowest || *n > highest)
        throw IndexKeyError(std::to_string(*n) + " does not fit in a " + columnTypeName(col.type) + " column");
    return *n;
}

// Signed whole numbers: big-endian with the sign bit flipped.
Bytes signedKey(int64_t value, int size) {
    Bytes b = bigEndian(static_cast<uint64_t>(value), size);
    b[0] ^= 0x80;
    return b;
}

// IEEE numbers: positive ones with the sign bit flipped, negative ones inverted.
Bytes floatingKey(uint64_t bits, int size) {
    Bytes b = bigEndian(bits, size);
    if (b[0] & 0x80)
        invert(b);
    else
        b[0] ^= 0x80;
    return b;
}

double doubleOf(const IndexKeyColumn& col, const KeyValue& v) {
    if (const double* d = std::get_if<double>(&v)) return *d;
    if (const int64_t* n = std::get_if<int64_t>(&v)) return static_cast<double>(*n);
    wrongValue(col.type, "a number");
}

// Bytes in 8-byte segments, each followed by its length (9: more follow).
// Descending inverts everything but the 9s.
void appendSegments(Bytes& out, const uint8_t* data, size_t size, bool descending) {
    for (size_t pos = 0; pos < size; pos += kSegment) {
        const size_t n = std::min(kSegment, size - pos);
        const size_t start = out.size();
        out.insert(out.end(), data + pos, data + pos + n);
        out.insert(out.end(), kSegment - n, 0);
        const bool last = pos + n >= size;
        if (descending) {
            for (size_t i = start; i < out.size(); ++i) out[i] = static_cast<uint8_t>(~out[i]);
        }
        const uint8_t length = last ? static_cast<uint8_t>(n) : kMoreSegments;
        out.push_back(descending && last ? static_cast<uint8_t>(~length) : length);
    }
}

Bytes decimalKey(const KeyDecimal& d, bool descending) {
    Bytes magnitude = bigEndian(d.high, 8);
    const Bytes low = bigEndian(d.low, 8);
    magnitude.insert(magnitude.end(), low.begin(), low.end());
    // Jet 4 inverts the magnitude of negative ascending and of positive
    // descending values.
    if (d.negative != descending) invert(magnitude);
    Bytes out{d.negative ? kNegativeDecimal : kPositiveDecimal};
    out.insert(out.end(), magnitude.begin(), magnitude.end());
    return out;
}

KeyGuid guidOf(const IndexKeyColumn& col, const KeyValue& v) {
    if (const KeyGuid* g = std::get_if<KeyGuid>(&v)) return *g;
    if (const std::string* s = std::get_if<std::string>(&v)) {
        if (auto g = guidFromText(*s)) return *g;
    }
    wrongValue(col.type, "a Replication ID");
}

// The key bytes of a non-Null value, ascending (descending applied by the caller
// except for the types that handle it themselves).
Bytes valueKey(const IndexKeyColumn& col, const KeyValue& v) {
    switch (col.type) {
        case coltype::Byte: return bigEndian(static_cast<uint64_t>(integerOf(col, v, 0, 255)), 1);
        case coltype::Int: return signedKey(integerOf(col, v, std::numeric_limits<int16_t>::min(),
                                                      std::numeric_limits<int16_t>::max()), 2);
        case coltype::Long: return signedKey(integerOf(col, v, std::numeric_limits<int32_t>::min(),
                                                       std::numeric_limits<int32_t>::max()), 4);
        case coltype::Money: return signedKey(integerOf(col, v, std::numeric_limits<int64_t>::min(),
                                                        std::numeric_limits<int64_t>::max()), 8);
        case coltype::Float: {
            const double d = doubleOf(col, v);
            const auto f = static_cast<float>(d);
            if (std::isfinite(d) && !std::isfinite(f))
                throw IndexKeyError(std::to_string(d) + " does not fit in a Single column");
            uint32_t bits;
            std::memcpy(&bits, &f, sizeof bits);
            return floatingKey(bits, 4);
        }
        case coltype::Double:
        case coltype::DateTime: {
            const double d = doubleOf(col, v);
            uint64_t bits;
            std::memcpy(&bits, &d, sizeof bits);
            return floatingKey(bits, 8);
        }
        default: break;
    }
    throw IndexKeyError("a column of type " + typeText(col.type) + " cannot be indexed");
}

}  // namespace

bool isJet4GeneralSortOrder(int sortOrder, bool jet3) { return !jet3 && sortOrder == kGeneralSortOrder; }

std::optional<KeyGuid> guidFromText(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36) return std::nullopt;
    std::string hex;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash != (text[i] == '-')) return std::nullopt;
        if (!dash) {
            if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
            hex += text[i];
        }
    }
    uint8_t text16[16];
    for (size_t i = 0; i < 16; ++i) text16[i] = static_cast<uint8_t>(std::stoi(hex.substr(i * 2, 2), nullptr, 16));
    KeyGuid g;
    for (size_t i = 0; i < 16; ++i) g.stored[i] = text16[kGuidSwap[i]];
    return g;
}

std::optional<KeyDecimal> decimalFromText(std::string_view text, int scale) {
    if (scale < 0 || scale > 38) return std::nullopt;
    KeyDecimal d;
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) d.negative = text[i++] == '-';
    unsigned __int128 v = 0;
    const unsigned __int128 limit = ~static_cast<unsigned __int128>(0) / 10;
    int decimals = -1, digits = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (c < '0' || c > '9') return std::nullopt;
        if (v > limit) return std::nullopt;
        v = v * 10 + static_cast<unsigned>(c - '0');
        if (v < static_cast<unsigned>(c - '0')) return std::nullopt;
        ++digits;
        if (decimals >= 0) ++decimals;
    }
    if (digits == 0) return std::nullopt;
    for (int k = std::max(decimals, 0); k < scale; ++k) {
        if (v > limit) return std::nullopt;
        v *= 10;
    }
    if (decimals > scale) return std::nullopt;
    d.high = static_cast<uint64_t>(v >> 64);
    d.low = static_cast<uint64_t>(v);
    if (v == 0) d.negative = false;
    return d;
}

KeyDecimal decimalFromStored(const uint8_t* b) {
    KeyDecimal d;
    d.negative = (b[0] & 0x80) != 0;
    d.high = static_cast<uint64_t>(le32(b + 1)) << 32 | le32(b + 5);
    d.low = static_cast<uint64_t>(le32(b + 9)) << 32 | le32(b + 13);
    return d;
}

std::string whyKeyNotComputable(const IndexKeyColumn& column) {
    switch (column.type) {
        case coltype::Text:
        case coltype::Memo:
            return column.generalSortOrder ? std::string()
                                           : "the text of this column sorts in an order whose key codes are not public";
        case coltype::Bool: case coltype::Byte: case coltype::Int: case coltype::Long: case coltype::Money:
        case coltype::Float: case coltype::Double: case coltype::DateTime: case coltype::Binary:
        case coltype::RepId: case coltype::Numeric:
            return {};
        default:
            return "a column of type " + typeText(column.type) + " cannot be indexed";
    }
}

void appendColumnKey(Bytes& out, const IndexKeyColumn& col, const KeyValue& value) {
    if (const std::string why = whyKeyNotComputable(col); !why.empty()) throw IndexKeyError(why);
    const bool desc = col.descending;
    if (col.type == coltype::Bool) {
        bool truth = false;
        if (const bool* b = std::get_if<bool>(&value)) truth = *b;
        else if (const int64_t* n = std::get_if<int64_t>(&value)) truth = *n != 0;
        else if (!std::holds_alternative<std::monostate>(value)) wrongValue(col.type, "true or false");
        out.push_back(desc ? kDescendingFlag : kAscendingFlag);
        out.push_back((truth != desc) ? kTrue : kFalse);
        return;
    }
    if (std::holds_alternative<std::monostate>(value)) {
        out.push_back(desc ? kDescendingNull : kAscendingNull);
        return;
    }
    out.push_back(desc ? kDescendingFlag : kAscendingFlag);
    switch (col.type) {
        case coltype::Text:
        case coltype::Memo: {
            const std::string* s = std::get_if<std::string>(&value);
            if (!s) wrongValue(col.type, "text");
            const size_t start = out.size();
            appendGeneralTextKey(out, *s);
            if (desc) {
                invert(out, start);
                out.push_back(0x00);
            }
            return;
        }
        case coltype::Binary: {
            const std::string* s = std::get_if<std::string>(&value);
            if (!s) wrongValue(col.type, "bytes");
            appendSegments(out, reinterpret_cast<const uint8_t*>(s->data()), s->size(), desc);
            return;
        }
        case coltype::RepId: {
            const KeyGuid g = guidOf(col, value);
            uint8_t textOrder[16];
            for (size_t i = 0; i < 16; ++i) textOrder[i] = g.stored[kGuidSwap[i]];
            appendSegments(out, textOrder, sizeof textOrder, desc);
            return;
        }
        case coltype::Numeric: {
            const KeyDecimal* d = std::get_if<KeyDecimal>(&value);
            std::optional<KeyDecimal> parsed;
            if (!d) {
                if (const std::string* s = std::get_if<std::string>(&value)) parsed = decimalFromText(*s, col.scale);
                if (!parsed) wrongValue(col.type, "a decimal number at the column's scale");
                d = &*parsed;
            }
            const Bytes key = decimalKey(*d, desc);
            out.insert(out.end(), key.begin(), key.end());
            return;
        }
        default: {
            Bytes key = valueKey(col, value);
            if (desc) invert(key);
            out.insert(out.end(), key.begin(), key.end());
            return;
        }
    }
}

Bytes encodeIndexKey(const std::vector<IndexKeyColumn>& columns, const std::vector<KeyValue>& values) {
    if (columns.size() != values.size())
        throw IndexKeyError("the index has " + std::to_string(columns.size()) + " columns but " +
                            std::to_string(values.size()) + " values were given");
    Bytes out;
    for (size_t i = 0; i < columns.size(); ++i) {
        try {
            appendColumnKey(out, columns[i], values[i]);
        } catch (const IndexKeyError& e) {
            throw IndexKeyError("column " + std::to_string(i + 1) + ": " + e.what(), e.codePoint());
        }
    }
    return out;
}

bool rowHasIndexEntry(bool ignoreNulls, const std::vector<KeyValue>& values) {
    if (!ignoreNulls) return true;
    for (const auto& v : values)
        if (!std::holds_alternative<std::monostate>(v)) return true;
    return values.empty();
}

KeyValue keyValueOf(const JetValue& v) {
    struct Visitor {
        KeyValue operator()(std::monostate) const { return std::monostate{}; }
        KeyValue operator()(bool b) const { return b; }
        KeyValue operator()(int64_t i) const { return i; }
        KeyValue operator()(const JetCurrency& m) const { return m.units; }
        KeyValue operator()(float f) const { return static_cast<double>(f); }
        KeyValue operator()(double d) const { return d; }
        KeyValue operator()(const JetDateTime& t) const { return t.days; }
        KeyValue operator()(const std::string& s) const { return s; }
        KeyValue operator()(const JetBytes& b) const { return b.bytes; }
        KeyValue operator()(const JetGuid& g) const { return KeyGuid{g.bytes}; }
        KeyValue operator()(const JetDecimal& d) const { return decimalFromStored(d.bytes.data()); }
    };
    return std::visit(Visitor{}, v);
}

// The same into `out`, reusing the text it may hold.
void setKeyValue(KeyValue& out, const JetValue& v) {
    if (const auto* s = std::get_if<std::string>(&v)) {
        if (auto* t = std::get_if<std::string>(&out))
            t->assign(*s);
        else
            out.emplace<std::string>(*s);
        return;
    }
    out = keyValueOf(v);
}

}  // namespace dex::jetfile
