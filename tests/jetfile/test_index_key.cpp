// Index keys: every column type's bytes, ascending, descending and Null, and
// the General sort order's text keys checked against the published code
// tables (read from the shared fixture folder; skipped when it is absent).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "GeneralSortOrder.h"
#include "IndexKey.h"
#include "JetFile.h"
#include "TextConv.h"

namespace fs = std::filesystem;
using namespace dex::jetfile;

namespace {

using Bytes = std::vector<uint8_t>;

std::string hexText(const Bytes& b) {
    std::string out;
    char buf[4];
    for (uint8_t v : b) {
        std::snprintf(buf, sizeof buf, "%02x ", v);
        out += buf;
    }
    if (!out.empty()) out.pop_back();
    return out;
}

std::string key(int type, const KeyValue& v, bool descending = false, int scale = 0) {
    IndexKeyColumn col;
    col.type = type;
    col.descending = descending;
    col.scale = scale;
    Bytes out;
    appendColumnKey(out, col, v);
    return hexText(out);
}

std::string utf8(char32_t c) {
    std::string s;
    dex::AppendUtf8(s, c);
    return s;
}

TEST(IndexKey, FixedWidthTypesAscendingDescendingAndNull) {
    // Long: big-endian, sign bit flipped; the fixtures' MSysObjects.ParentId 0x0F000000.
    EXPECT_EQ(key(coltype::Long, int64_t{0x0F000000}), "7f 8f 00 00 00");
    EXPECT_EQ(key(coltype::Long, int64_t{1}), "7f 80 00 00 01");
    EXPECT_EQ(key(coltype::Long, int64_t{-1}), "7f 7f ff ff ff");
    // A descending Long as Access wrote it in jackcess_compIndexTestV2000.mdb (CD_AGENTE 4813).
    EXPECT_EQ(key(coltype::Long, int64_t{4813}, true), "80 7f ff ed 32");
    EXPECT_EQ(key(coltype::Long, KeyValue{}), "00");
    EXPECT_EQ(key(coltype::Long, KeyValue{}, true), "ff");
    EXPECT_EQ(key(coltype::Int, int64_t{-2}), "7f 7f fe");
    EXPECT_EQ(key(coltype::Int, int64_t{300}, true), "80 7e d3");
    // Byte: no sign.
    EXPECT_EQ(key(coltype::Byte, int64_t{5}), "7f 05");
    EXPECT_EQ(key(coltype::Byte, int64_t{255}, true), "80 00");
    // Currency: the stored count of 1/10000 units.
    EXPECT_EQ(key(coltype::Money, int64_t{12345}), "7f 80 00 00 00 00 00 30 39");
    EXPECT_EQ(key(coltype::Money, int64_t{-12345}), "7f 7f ff ff ff ff ff cf c7");
    // Floating point and dates: positive sign-flipped, negative inverted.
    EXPECT_EQ(key(coltype::Double, 1.0), "7f bf f0 00 00 00 00 00 00");
    EXPECT_EQ(key(coltype::Double, -1.0), "7f 40 0f ff ff ff ff ff ff");
    EXPECT_EQ(key(coltype::Double, -1.0, true), "80 bf f0 00 00 00 00 00 00");
    EXPECT_EQ(key(coltype::DateTime, 36526.5), "7f c0 e1 d5 d0 00 00 00 00");  // 2000-01-01 12:00
    EXPECT_EQ(key(coltype::Float, 1.5), "7f bf c0 00 00");
    EXPECT_EQ(key(coltype::Float, -1.5, true), "80 bf c0 00 00");
    // Yes/No: never Null, true first.
    EXPECT_EQ(key(coltype::Bool, true), "7f 00");
    EXPECT_EQ(key(coltype::Bool, int64_t{-1}), "7f 00");
    EXPECT_EQ(key(coltype::Bool, false), "7f ff");
    EXPECT_EQ(key(coltype::Bool, KeyValue{}), "7f ff");
    EXPECT_EQ(key(coltype::Bool, true, true), "80 ff");
    EXPECT_EQ(key(coltype::Bool, false, true), "80 00");
}

TEST(IndexKey, SegmentedDecimalAndTextTypes) {
    // Binary: 8-byte segments with a length byte; MSysQueries.Order 00 00 00 01 as Access wrote it.
    EXPECT_EQ(key(coltype::Binary, std::string("\0\0\0\1", 4)), "7f 00 00 00 01 00 00 00 00 04");
    EXPECT_EQ(key(coltype::Binary, std::string("ABCDEFGHI")), "7f 41 42 43 44 45 46 47 48 09 49 00 00 00 00 00 00 00 01");
    EXPECT_EQ(key(coltype::Binary, std::string("ABCDEFGHI"), true),
              "80 be bd bc bb ba b9 b8 b7 09 b6 ff ff ff ff ff ff ff fe");
    EXPECT_EQ(key(coltype::Binary, std::string()), "7f");
    // Replication ID: its text order, two segments.
    const std::string guid = "{01020304-0506-0708-090A-0B0C0D0E0F10}";
    EXPECT_EQ(key(coltype::RepId, guid), "7f 01 02 03 04 05 06 07 08 09 09 0a 0b 0c 0d 0e 0f 10 08");
    const auto parsed = guidFromText(guid);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(hexText(Bytes(parsed->stored.begin(), parsed->stored.end())),
              "04 03 02 01 06 05 08 07 09 0a 0b 0c 0d 0e 0f 10");
    EXPECT_EQ(key(coltype::RepId, *parsed), key(coltype::RepId, guid));
    EXPECT_FALSE(guidFromText("{01020304-0506-0708-090A-0B0C0D0E0F1}"));
    // Decimal: sign byte and 16-byte magnitude, with Jet 4's descending rule.
    const std::string zeros13 = "00 00 00 00 00 00 00 00 00 00 00 00 00 ";
    EXPECT_EQ(key(coltype::Numeric, std::string("12.5"), false, 2), "7f ff " + zeros13 + "00 04 e2");
    EXPECT_EQ(key(coltype::Numeric, std::string("-12.50"), false, 2),
              "7f 00 ff ff ff ff ff ff ff ff ff ff ff ff ff ff fb 1d");
    EXPECT_EQ(key(coltype::Numeric, std::string("12.5"), true, 2),
              "80 ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff fb 1d");
    EXPECT_EQ(key(coltype::Numeric, std::string("-12.5"), true, 2), "80 00 " + zeros13 + "00 04 e2");
    const uint8_t stored[17] = {0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE2, 0x04, 0, 0};
    const KeyDecimal d = decimalFromStored(stored);
    EXPECT_TRUE(d.negative);
    EXPECT_EQ(d.low, 1250u);
    EXPECT_EQ(key(coltype::Numeric, d, false, 2), key(coltype::Numeric, std::string("-12.5"), false, 2));
    EXPECT_FALSE(decimalFromText("12.345", 2));
    EXPECT_FALSE(decimalFromText("1e5", 0));
    EXPECT_FALSE(decimalFromText("400000000000000000000000000000000000000", 0));  // past 128 bits
    // Text: General codes, 01, 00; descending inverted with one more 00.
    EXPECT_EQ(key(coltype::Text, std::string("Fruit")), "7f 53 69 6f 59 6d 01 00");
    EXPECT_EQ(key(coltype::Memo, std::string("fruit")), "7f 53 69 6f 59 6d 01 00");
    EXPECT_EQ(key(coltype::Text, std::string("Fruit"), true), "80 ac 96 90 a6 92 fe ff 00");
    EXPECT_EQ(key(coltype::Text, std::string()), "7f 01 00");
}

TEST(IndexKey, WholeEntriesAndRefusals) {
    // MSysObjects' ParentIdName entry of "Databases" under the Tables container, as on Access's pages.
    const std::vector<IndexKeyColumn> cols = {{coltype::Long, false, true, 0}, {coltype::Text, false, true, 0}};
    EXPECT_EQ(hexText(encodeIndexKey(cols, {int64_t{0x0F000000}, std::string("Databases")})),
              "7f 8f 00 00 00 7f 4f 4a 6d 4a 4c 4a 6b 51 6b 01 00");
    EXPECT_EQ(hexText(encodeIndexKey(cols, {KeyValue{}, KeyValue{}})), "00 00");

    auto failure = [&](const std::vector<IndexKeyColumn>& c, const std::vector<KeyValue>& v) -> std::string {
        try {
            encodeIndexKey(c, v);
        } catch (const IndexKeyError& e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_EQ(failure(cols, {int64_t{1}, std::string("caf\xC3\xA9")}),
              "column 2: the character U+00E9 '\xC3\xA9' has no known key in the General sort order");
    EXPECT_EQ(failure({{coltype::Byte, false, true, 0}}, {int64_t{256}}), "column 1: 256 does not fit in a Byte column");
    EXPECT_EQ(failure({{coltype::Long, false, true, 0}}, {std::string("1")}), "column 1: a Long key needs a whole number");
    EXPECT_EQ(failure({{coltype::Ole, false, true, 0}}, {std::string("x")}),
              "column 1: a column of type 11 (OLE Object) cannot be indexed");
    EXPECT_EQ(failure({{coltype::Text, false, false, 0}}, {std::string("x")}),
              "column 1: the text of this column sorts in an order whose key codes are not public");

    EXPECT_TRUE(isJet4GeneralSortOrder(0x409, false));
    EXPECT_FALSE(isJet4GeneralSortOrder(0x409, true));
    EXPECT_FALSE(isJet4GeneralSortOrder(0x804, false));
    EXPECT_FALSE(rowHasIndexEntry(true, {KeyValue{}, KeyValue{}}));
    EXPECT_TRUE(rowHasIndexEntry(true, {KeyValue{}, int64_t{0}}));
    EXPECT_TRUE(rowHasIndexEntry(false, {KeyValue{}}));
}

TEST(GeneralSortOrder, TextRules) {
    auto text = [](const std::string& s) { return hexText(generalTextKey(s)); };
    // Letters fold case; digits; trailing spaces do not count, inner ones do.
    EXPECT_EQ(text("aZ09"), "4a 78 36 48 01 00");
    EXPECT_EQ(text("AZ09  "), text("aZ09"));
    EXPECT_EQ(text("a b"), "4a 07 4c 01 00");
    EXPECT_EQ(text("   "), "01 00");
    // Unprintable characters: trailer with 0x8000 | (7 + 4 * position), 06, code.
    // "\x03DirData" as Access wrote it in MSysAccessStorage.
    EXPECT_EQ(text("\x03" "DirData"), "4f 59 69 4f 4a 6d 4a 01 01 01 01 80 07 06 05 00");
    EXPECT_EQ(text("a-b'c"), "4a 4c 4d 01 01 01 01 80 0b 06 82 80 0f 06 80 00");
    EXPECT_EQ(text("-"), "01 01 01 01 80 07 06 82 00");
    // Two-byte simple codes.
    EXPECT_EQ(text("~sq_x"), "2b 0f 6b 68 2b 03 75 01 00");
    EXPECT_EQ(text("\t\r"), "08 03 08 07 01 00");
    // Hangul: the first and last syllable of the first and last initial consonant.
    EXPECT_EQ(text("\xEA\xB0\x80"), "81 03 01 00");          // U+AC00
    EXPECT_EQ(text("\xEA\xB9\x8C"), "83 54 01 00");          // U+AE4C, the first syllable of the second initial
    EXPECT_EQ(text("\xED\x9E\xA3"), "ad c0 01 00");          // U+D7A3
    // Only 255 characters count.
    EXPECT_EQ(generalTextKey(std::string(300, 'a')).size(), 257u);
    EXPECT_EQ(generalTextKey(std::string(255, 'a') + "b"), generalTextKey(std::string(255, 'a')));
    // Invalid UTF-8 and characters beyond the Basic Multilingual Plane are refused.
    EXPECT_THROW(generalTextKey("\xC3"), IndexKeyError);
    EXPECT_THROW(generalTextKey("\xED\xA0\x80"), IndexKeyError);  // an encoded surrogate
    try {
        generalTextKey("x\xF0\x9F\x98\x80");
        ADD_FAILURE() << "an emoji was keyed";
    } catch (const IndexKeyError& e) {
        EXPECT_EQ(e.codePoint(), U'\U0001F600');
        EXPECT_STREQ(e.what(), "the character U+1F600 '\xF0\x9F\x98\x80' has no known key in the General sort order");
    }
    try {
        generalTextKey(std::string("a\0b", 3));
        ADD_FAILURE() << "U+0000 was keyed";
    } catch (const IndexKeyError& e) {
        EXPECT_STREQ(e.what(), "the character U+0000 has no known key in the General sort order");
    }
}

// The published General code tables: one line per character, U+0000..U+00FF
// in one file and U+0100.. (the surrogates left out) in the other.
class Oracle {
public:
    explicit Oracle(const fs::path& folder) {
        load(folder / "index_codes_genleg.txt", 0);
        load(folder / "index_codes_ext_genleg.txt", 0x100);
    }
    bool loaded() const { return lines_.size() > 0x100; }
    const std::string& line(char32_t c) const { return lines_.at(c); }
    size_t size() const { return lines_.size(); }

private:
    void load(const fs::path& file, char32_t first) {
        std::ifstream in(file);
        std::string l;
        char32_t c = first;
        while (std::getline(in, l)) {
            if (c == 0xD800) c = 0xE000;
            lines_[c++] = l;
        }
    }
    std::map<char32_t, std::string> lines_;
};

Bytes codeBytes(const std::string& hexDigits) {
    std::string h = hexDigits.size() % 2 ? "0" + hexDigits : hexDigits;
    Bytes out;
    for (size_t i = 0; i < h.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoi(h.substr(i, 2), nullptr, 16)));
    return out;
}

TEST(GeneralSortOrder, AgreesWithThePublishedTablesForEverySupportedCharacter) {
    const fs::path folder = fs::path(DEX_SHARED_FIXTURES) / "jetsort";
    Oracle oracle(folder);
    if (!oracle.loaded()) GTEST_SKIP() << "the code tables in " << folder << " are absent";
    ASSERT_EQ(oracle.size(), 0x10000u - 0x800u);  // every BMP character but the surrogates

    int supported = 0, refused = 0;
    for (char32_t c = 0; c <= 0xFFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        const std::string& line = oracle.line(c);
        const std::string probe = "a" + utf8(c) + "b";
        if (!generalSortOrderSupports(c)) {
            ++refused;
            try {
                generalTextKey(probe);
                ADD_FAILURE() << "U+" << std::hex << static_cast<int>(c) << " was keyed though it is not supported";
            } catch (const IndexKeyError& e) {
                EXPECT_EQ(e.codePoint(), c);
                char name[16];
                std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(c));
                EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
            }
            continue;
        }
        ++supported;
        // "a", the character, "b": the table's code in place, or its trailer at position 1.
        Bytes expected = {0x4A};
        const Bytes code = codeBytes(line.substr(1));
        ASSERT_TRUE(line[0] == 'S' || line[0] == 'U') << "U+" << std::hex << static_cast<int>(c) << " is of class " << line;
        if (line[0] == 'S') {
            expected.insert(expected.end(), code.begin(), code.end());
            expected.insert(expected.end(), {0x4C, 0x01, 0x00});
        } else {
            expected.insert(expected.end(), {0x4C, 0x01, 0x01, 0x01, 0x01, 0x80, 0x0B, 0x06});
            expected.insert(expected.end(), code.begin(), code.end());
            expected.push_back(0x00);
        }
        EXPECT_EQ(hexText(generalTextKey(probe)), hexText(expected)) << "U+" << std::hex << static_cast<int>(c) << " " << line;
    }
    // ASCII without U+0000, and the 11,172 Hangul syllables.
    EXPECT_EQ(supported, 127 + 11172);
    EXPECT_EQ(refused, 0x10000 - 0x800 - supported);
    for (char32_t c = 1; c < 0x80; ++c) EXPECT_TRUE(generalSortOrderSupports(c)) << static_cast<int>(c);
    for (char32_t c = 0xAC00; c <= 0xD7A3; ++c) ASSERT_TRUE(generalSortOrderSupports(c)) << static_cast<int>(c);
    EXPECT_FALSE(generalSortOrderSupports(0x10000));
}

}  // namespace
