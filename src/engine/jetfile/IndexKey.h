#pragma once
// The key bytes of Jet index entries, for every column type an index can use.
//
// An entry is, per index column in index order, a flag byte — 0x7F for a
// value in an ascending column, 0x80 in a descending one, 0x00 / 0xFF for
// Null — and the value's key bytes, then the row's place: its page (3 bytes)
// and row number (1 byte), big-endian. Entries sort by their whole bytes.
// Key bytes per type, ascending (a descending column inverts them, except
// where noted):
//   Boolean             one byte: 00 true, FF false; never Null (a Null
//                       reads as false)
//   Byte                the byte
//   Integer, Long,      big-endian two's complement with the sign bit flipped
//   Currency            (Currency: the stored 64-bit count of 1/10000 units)
//   Single, Double,     big-endian IEEE bytes: positive values with the sign
//   Date/Time           bit flipped, negative values inverted whole
//   Text, Memo          the General sort order's key (GeneralSortOrder.h);
//                       descending: inverted, then one more 00
//   Binary, Replication the bytes in 8-byte segments, each followed by a
//   ID                  length byte: 9 when more segments follow, else the
//                       count of bytes used (the last segment padded with
//                       00). A Replication ID's bytes are in its text order
//                       (the first three fields big-endian, unlike in a row).
//                       Descending: every byte inverted except the 9s.
//   Decimal (Numeric)   a sign byte and the 16-byte big-endian magnitude
//                       (the unscaled integer): FF + magnitude when positive,
//                       00 + inverted magnitude when negative. Descending
//                       (as Jet 4 writes it): FF + inverted magnitude when
//                       positive, 00 + magnitude when negative.
#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "JetValues.h"

namespace dex::jetfile {

// A key that cannot be made: an unsupported type or sort order, a value of
// the wrong kind or out of range, a character without a known code.
class IndexKeyError : public std::runtime_error {
public:
    explicit IndexKeyError(const std::string& what, char32_t codePoint = 0)
        : std::runtime_error(what), codePoint_(codePoint) {}
    // The character that has no known code; 0 for any other failure.
    char32_t codePoint() const { return codePoint_; }

private:
    char32_t codePoint_;
};

// What the encoder needs to know about one column of an index.
struct IndexKeyColumn {
    int type = 0;             // coltype (JetFile.h)
    bool descending = false;
    // Text and Memo: whether the column sorts in Jet 4's General order
    // (isJet4GeneralSortOrder); keys of any other order cannot be computed.
    bool generalSortOrder = true;
    int scale = 0;            // Numeric: the column's scale
};

// Whether a text column's sort order (its descriptor's two bytes, 0x409 for
// General) in a file of this version is the General order encoded here.
// Jet 3's General order ("General 97") has other codes.
bool isJet4GeneralSortOrder(int sortOrder, bool jet3);

// A Replication ID as a row stores it: 16 bytes, the first three fields
// (4, 2 and 2 bytes) little-endian.
struct KeyGuid {
    std::array<uint8_t, 16> stored{};
};

// A Decimal's unscaled value (the column's scale applies): sign and the
// 128-bit magnitude.
struct KeyDecimal {
    bool negative = false;
    uint64_t high = 0, low = 0;
};

// One column's value, exact:
//   Null -> monostate; Boolean -> bool (or int64: non-zero is true);
//   Byte, Integer, Long -> int64; Currency -> int64 (1/10000 units);
//   Single, Double, Date/Time -> double (days since 1899-12-30);
//   Text, Memo -> UTF-8 text; Binary -> the raw bytes;
//   Replication ID -> KeyGuid; Decimal -> KeyDecimal.
using KeyValue = std::variant<std::monostate, bool, int64_t, double, std::string, KeyGuid, KeyDecimal>;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional, either case);
// nullopt when it is not one.
std::optional<KeyGuid> guidFromText(std::string_view text);

// A Decimal from its text ("-12.5") at the column's scale: nullopt when the
// text is not a number, has more decimals than the scale or does not fit in
// 128 bits.
std::optional<KeyDecimal> decimalFromText(std::string_view text, int scale);

// A Decimal from the 17 bytes a row stores: a sign byte (0x80 negative) and
// four little-endian 32-bit words, the most significant first.
KeyDecimal decimalFromStored(const uint8_t* bytes17);

// A column's value (as a row holds it) as the key encoder takes it; the
// writer and the checker both make their keys through it.
KeyValue keyValueOf(const JetValue& v);
// The same into `out`, reusing the text it may hold.
void setKeyValue(KeyValue& out, const JetValue& v);

// "Yes/No", "Long", "Text", ... for a coltype; "unknown" for others.
const char* columnTypeName(int type);

// Empty when keys of this column can be computed; otherwise why not
// ("a column of type 11 (OLE Object) cannot be indexed", ...).
std::string whyKeyNotComputable(const IndexKeyColumn& column);

// Appends one column's part of an entry: the flag byte and the key bytes.
// Throws IndexKeyError.
void appendColumnKey(std::vector<uint8_t>& out, const IndexKeyColumn& column, const KeyValue& value);

// The key of a whole entry (without the row's place): every column in index
// order. values[i] belongs to columns[i]. Throws IndexKeyError, whose text
// starts with "column N: " (N counted from 1 in index order).
std::vector<uint8_t> encodeIndexKey(const std::vector<IndexKeyColumn>& columns, const std::vector<KeyValue>& values);

// Whether a row gets an entry in an index: not when the index ignores Nulls
// (physical flag 0x02) and every one of the row's key values is Null.
bool rowHasIndexEntry(bool ignoreNulls, const std::vector<KeyValue>& values);

}  // namespace dex::jetfile
