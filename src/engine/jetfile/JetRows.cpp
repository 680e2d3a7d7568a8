#include "JetRows.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "JetFile.h"

namespace dex::jetfile {
namespace {

constexpr uint8_t kDataPage = 0x01, kUsagePage = 0x05;
constexpr uint16_t kDeleted = 0x8000, kOverflow = 0x4000;
constexpr uint16_t kOffsetMask = 0x1FFF;
constexpr int kMaxOverflowHops = 4;
constexpr uint32_t kInline = 0x80000000u, kSingleRow = 0x40000000u, kLengthMask = 0x3FFFFFFFu;
constexpr size_t kLongValueHeader = 12;

size_t rowCountAt(bool jet3) { return jet3 ? 8 : 12; }

// Bytes a fixed-length column takes in a row; 0 for Bool (it lives in the null mask).
size_t fixedSize(const TdefColumn& c) {
    switch (c.type) {
        case coltype::Bool: return 0;
        case coltype::Byte: return 1;
        case coltype::Int: return 2;
        case coltype::Long: case coltype::Float: return 4;
        case coltype::Money: case coltype::Double: case coltype::DateTime: return 8;
        case coltype::RepId: return 16;
        case coltype::Numeric: return 17;
        default: return static_cast<size_t>(c.length);
    }
}

void addMapPage(std::vector<uint32_t>& out, const JetPages& pages, uint64_t page, const char* kind) {
    if (page >= pages.count())
        throw JetDamage(std::string("the ") + kind + " lists " + pageText(static_cast<uint32_t>(std::min<uint64_t>(page, 0xFFFFFFFFu))) +
                        ", beyond the end of the file (" + std::to_string(pages.count()) + " pages)");
    out.push_back(static_cast<uint32_t>(page));
}

}  // namespace

std::vector<RowSlot> rowSlots(const PageView& page, bool jet3) {
    const size_t at = rowCountAt(jet3);
    const size_t rows = page.u16(at);
    const size_t tableEnd = at + 2 + 2 * rows;
    if (tableEnd > page.size())
        throw JetDamage(pageText(page.number()) + " claims " + std::to_string(rows) + " rows, more than it can hold");
    std::vector<RowSlot> slots(rows);
    size_t end = page.size();
    for (size_t r = 0; r < rows; ++r) {
        const uint16_t raw = page.u16(at + 2 + 2 * r);
        RowSlot& s = slots[r];
        s.flags = raw & 0xE000;
        s.start = raw & kOffsetMask;
        s.end = end;
        // A row lies between the offset table and the start of the row before it.
        if (s.start < tableEnd || s.start > s.end)
            throw JetDamage("row " + std::to_string(r) + " of " + pageText(page.number()) + " lies outside its page");
        end = s.start;
    }
    return slots;
}

std::vector<uint32_t> readUsageMap(const JetPages& pages, uint32_t pointer, bool jet3) {
    const PageView page = pages.page(pointer >> 8, "the usage map");
    if (page.u8(0) != kDataPage)
        throw JetDamage("the usage map lies on " + pageText(page.number()) + ", which is not a data page");
    const auto slots = rowSlots(page, jet3);
    const size_t row = pointer & 0xFF;
    if (row >= slots.size())
        throw JetDamage("the usage map is row " + std::to_string(row) + " of " + pageText(page.number()) +
                        ", which has " + std::to_string(slots.size()) + " rows");
    const RowSlot& s = slots[row];
    if (s.end - s.start < 1) throw JetDamage("the table's page map is empty");
    const uint8_t* map = page.span(s.start, s.end - s.start);
    const size_t len = s.end - s.start;
    std::vector<uint32_t> out;
    if (map[0] == 0) {
        if (len < 5) throw JetDamage("the table's page map is cut short");
        const uint32_t first = static_cast<uint32_t>(map[1]) | (static_cast<uint32_t>(map[2]) << 8) |
                               (static_cast<uint32_t>(map[3]) << 16) | (static_cast<uint32_t>(map[4]) << 24);
        for (size_t i = 5; i < len; ++i)
            for (int bit = 0; bit < 8; ++bit)
                if (map[i] & (1 << bit)) addMapPage(out, pages, uint64_t{first} + (i - 5) * 8 + static_cast<uint64_t>(bit), "usage map");
    } else if (map[0] == 1) {
        const uint64_t perPage = static_cast<uint64_t>(pages.pageSize() - 4) * 8;
        for (size_t e = 0; 1 + 4 * e + 4 <= len; ++e) {
            const uint8_t* p = map + 1 + 4 * e;
            const uint32_t mapPage = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                     (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
            if (mapPage == 0) continue;
            const PageView bits = pages.page(mapPage, "the usage map");
            if (bits.u8(0) != kUsagePage)
                throw JetDamage("the usage map refers to " + pageText(mapPage) + ", which is not a usage map page");
            for (size_t i = 4; i < bits.size(); ++i) {
                const uint8_t b = bits.u8(i);
                if (!b) continue;
                for (int bit = 0; bit < 8; ++bit)
                    if (b & (1 << bit)) addMapPage(out, pages, e * perPage + (i - 4) * 8 + static_cast<uint64_t>(bit), "usage map");
            }
        }
    } else {
        throw JetDamage("the usage map on " + pageText(page.number()) + " has the unknown type " + std::to_string(map[0]));
    }
    std::sort(out.begin(), out.end());
    return out;
}

TableRows::TableRows(const JetPages& pages, const TableDefinition& def, uint32_t tdefPage, bool jet3, int codePage,
                     std::string table)
    : pages_(pages), def_(def), tdefPage_(tdefPage), jet3_(jet3), table_(std::move(table)), text_(jet3, codePage) {
    for (const auto& c : def_.columns) {
        columns_.push_back(&c);
        if (!(c.flags & 0x01)) hasVariable_ = true;
    }
    std::sort(columns_.begin(), columns_.end(), [](auto* a, auto* b) { return a->number < b->number; });
    budget_ = pages_.fileSize() * kScanBytesPerFileByte + kScanBytesSlack;
    try {
        mapPages_ = readUsageMap(pages_, def_.usageMap, jet3_);
    } catch (const JetDamage& e) {
        damaged(e.what());
    }
}

void TableRows::damaged(const std::string& what) const { throw damagedTable(what, table_); }

void TableRows::count(size_t bytes) {
    produced_ += bytes;
    if (produced_ > budget_)
        damaged("its values add up to more than " + std::to_string(budget_) + " bytes, more than a file of " +
                std::to_string(pages_.fileSize()) + " bytes can hold (long values shared by many rows?)");
}

void TableRows::forEach(const std::function<bool(const RowPlace&, std::vector<JetValue>&)>& onRow) {
    std::vector<JetValue> values;
    try {
        for (const uint32_t number : mapPages_) {
            const PageView page = pages_.page(number, "the usage map");
            // The map may still list pages the table gave up.
            if (page.u8(0) != kDataPage || page.u32(4) != tdefPage_) continue;
            const auto slots = rowSlots(page, jet3_);
            for (size_t r = 0; r < slots.size(); ++r) {
                const RowSlot& slot = slots[r];
                if (slot.flags & kDeleted) continue;
                RowPlace& place = place_;
                place = RowPlace{number, static_cast<int>(r), number, static_cast<int>(r)};
                if (slot.flags & kOverflow) {
                    PageView target = page;
                    RowSlot at = slot;
                    for (int hop = 0;; ++hop) {
                        if (hop >= kMaxOverflowHops || at.end - at.start < 4)
                            damaged("an overflow row on " + pageText(number) + " points nowhere");
                        const uint32_t pointer = target.u32(at.start);
                        const uint32_t toPage = pointer >> 8;
                        const size_t toRow = pointer & 0xFF;
                        target = pages_.page(toPage, "an overflow row");
                        if (target.u8(0) != kDataPage || target.u32(4) != tdefPage_)
                            damaged("an overflow row points to " + pageText(toPage) + ", which is not one of the table's pages");
                        const auto targetSlots = rowSlots(target, jet3_);
                        if (toRow >= targetSlots.size())
                            damaged("an overflow row points to a row the table does not have on " + pageText(toPage));
                        at = targetSlots[toRow];
                        place.dataPage = toPage;
                        place.dataRow = static_cast<int>(toRow);
                        if ((at.flags & (kOverflow | kDeleted)) != kOverflow) break;
                    }
                    if (at.end == at.start) damaged("an overflow row on " + pageText(number) + " is empty");
                    readRow(target, at, values);
                } else {
                    if (slot.end == slot.start) continue;
                    readRow(page, slot, values);
                }
                if (!onRow(place, values)) return;
            }
        }
    } catch (const JetDamage& e) {
        damaged(e.what());
    }
}

void TableRows::readRow(const PageView& page, const RowSlot& slot, std::vector<JetValue>& out) {
    const size_t start = slot.start, end = slot.end, len = end - start;
    // Named only when something is wrong with the row.
    const auto where = [&] { return "row at offset " + std::to_string(start) + " of " + pageText(page.number()); };
    const size_t countSize = jet3_ ? 1 : 2;
    if (len < countSize + 1) damaged(where() + " is too short");
    const size_t rowColumns = jet3_ ? page.u8(start) : page.u16(start);
    const size_t nullBytes = (rowColumns + 7) / 8;
    if (nullBytes + countSize > len) damaged(where() + " claims " + std::to_string(rowColumns) + " columns");
    const size_t maskAt = end - nullBytes;
    // The variable-length columns' offsets, relative to the row's start; the last one ends the data.
    std::vector<size_t>& offsets = offsets_;
    offsets.clear();
    size_t fixedEnd = maskAt;
    if (hasVariable_) {
        if (jet3_) {
            if (maskAt < start + countSize + 1) damaged(where() + " has no room for its variable columns");
            const size_t varCount = page.u8(maskAt - 1);
            size_t jumps = (len - 1) / 256;
            const size_t colPtr = maskAt - jumps - 2;  // offset 0; the ones after it lie before it
            if (colPtr < start + varCount + 1 || colPtr > maskAt) damaged(where() + " has a broken column table");
            if ((colPtr - start - varCount) / 256 < jumps) --jumps;
            size_t used = 0;
            for (size_t i = 0; i <= varCount; ++i) {
                while (used < jumps && i == page.u8(maskAt - 2 - used)) ++used;
                offsets.push_back(page.u8(colPtr - i) + used * 256);
            }
            fixedEnd = colPtr - varCount;
        } else {
            if (maskAt < start + countSize + 2) damaged(where() + " has no room for its variable columns");
            const size_t varCount = page.u16(maskAt - 2);
            const size_t tableBytes = 2 * (varCount + 1) + 2;
            if (tableBytes > maskAt - start - countSize) damaged(where() + " claims " + std::to_string(varCount) + " variable columns");
            for (size_t i = 0; i <= varCount; ++i) offsets.push_back(page.u16(maskAt - 4 - 2 * i));
            fixedEnd = maskAt - tableBytes;
        }
        for (size_t i = 0; i < offsets.size(); ++i)
            if (offsets[i] > fixedEnd - start || (i > 0 && offsets[i] < offsets[i - 1]))
                damaged(where() + ": a variable column points past its row");
        fixedEnd = std::min(fixedEnd, start + (offsets.empty() ? fixedEnd - start : offsets.front()));
    }
    // Every value is set: the row before may still be in `out` (its texts'
    // memory is reused).
    out.resize(columns_.size());
    for (size_t i = 0; i < columns_.size(); ++i) {
        const TdefColumn& c = *columns_[i];
        const size_t number = static_cast<size_t>(c.number);
        const bool present = number < rowColumns;
        const bool bit = present && (page.u8(maskAt + number / 8) & (1 << (number % 8)));
        if (c.type == coltype::Bool) {
            out[i] = bit;
            continue;
        }
        if (!bit) {
            out[i] = std::monostate{};
            continue;
        }
        if (c.flags & 0x01) {
            const size_t at = start + countSize + static_cast<size_t>(c.fixedOffset), size = fixedSize(c);
            if (at + size > fixedEnd) damaged(where() + ": column number " + std::to_string(number) + " lies past the row's fixed part");
            out[i] = cell(c, page, at, size);
        } else {
            const size_t v = static_cast<size_t>(c.varIndex);
            if (v + 1 >= offsets.size()) {
                out[i] = std::monostate{};  // added after the row was written
                continue;
            }
            const size_t at = start + offsets[v], size = offsets[v + 1] - offsets[v];
            if (c.type == coltype::Text)
                textCell(page, at, size, out[i]);
            else
                out[i] = cell(c, page, at, size);
        }
    }
}

void TableRows::textCell(const PageView& page, size_t at, size_t size, JetValue& out) {
    const uint8_t* p = page.span(at, size);
    count(size);
    std::string* s = std::get_if<std::string>(&out);
    if (!s) s = &out.emplace<std::string>();
    text_.value(*s, p, size);
    count(s->size());
}

JetValue TableRows::cell(const TdefColumn& c, const PageView& page, size_t at, size_t size) {
    const uint8_t* p = page.span(at, size);
    auto need = [&](size_t n) {
        if (size < n) damaged("a value of column number " + std::to_string(c.number) + " holds " + std::to_string(size) + " bytes, too few for its type");
    };
    auto le64 = [&]() {
        uint64_t v = 0;
        for (int b = 7; b >= 0; --b) v = (v << 8) | p[b];
        return v;
    };
    count(size);
    switch (c.type) {
        case coltype::Byte: need(1); return int64_t{p[0]};
        case coltype::Int: need(2); return int64_t{static_cast<int16_t>(p[0] | (p[1] << 8))};
        case coltype::Long: need(4); return int64_t{static_cast<int32_t>(page.u32(at))};
        case coltype::Money: need(8); return JetCurrency{static_cast<int64_t>(le64())};
        case coltype::Float: {
            need(4);
            float f;
            std::memcpy(&f, p, 4);
            return f;
        }
        case coltype::Double: {
            need(8);
            double d;
            std::memcpy(&d, p, 8);
            return d;
        }
        case coltype::DateTime: {
            need(8);
            double d;
            std::memcpy(&d, p, 8);
            return JetDateTime{d};
        }
        case coltype::Binary: case coltype::FixedBinary: return JetBytes{std::string(reinterpret_cast<const char*>(p), size)};
        case coltype::Text: {
            std::string s = text_.value(p, size);
            count(s.size());
            return s;
        }
        case coltype::Ole: return JetBytes{longValue(c, page, at, size)};
        case coltype::Memo: {
            const std::string bytes = longValue(c, page, at, size);
            std::string s = text_.value(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
            count(s.size());
            return s;
        }
        case coltype::RepId: {
            need(16);
            JetGuid g;
            std::memcpy(g.bytes.data(), p, 16);
            return g;
        }
        case coltype::Numeric: {
            need(17);
            JetDecimal d;
            std::memcpy(d.bytes.data(), p, 17);
            d.scale = c.scale;
            return d;
        }
        default: damaged("column number " + std::to_string(c.number) + " has the unknown type " + std::to_string(c.type));
    }
}

std::pair<PageView, RowSlot> TableRows::lvalRow(uint32_t pointer, const std::string& column) {
    const PageView page = pages_.page(pointer >> 8, "a long value");
    if (page.u8(0) != kDataPage)
        damaged("the value of " + column + " continues on " + pageText(page.number()) + ", which is not a data page");
    const auto slots = rowSlots(page, jet3_);
    const size_t row = pointer & 0xFF;
    if (row >= slots.size())
        damaged("the value of " + column + " continues on row " + std::to_string(row) + " of " + pageText(page.number()) +
                ", which has " + std::to_string(slots.size()) + " rows");
    if (std::find(lvalPages_.begin(), lvalPages_.end(), page.number()) == lvalPages_.end() && lvalPages_.size() < 1000000)
        lvalPages_.push_back(page.number());
    if (onLvalRow_) onLvalRow_(pointer, place_);
    return {page, slots[row]};
}

std::string TableRows::longValue(const TdefColumn& c, const PageView& page, size_t at, size_t size) {
    const std::string column = "column number " + std::to_string(c.number);
    if (size == 0) return {};
    if (size < kLongValueHeader) damaged("a value of " + column + " holds a long value header of " + std::to_string(size) + " bytes");
    const uint32_t lengthAndFlags = page.u32(at);
    const size_t length = lengthAndFlags & kLengthMask;
    if ((lengthAndFlags & kInline) && (lengthAndFlags & kSingleRow)) damaged("a value of " + column + " has both long-value flags");
    if (lengthAndFlags & kInline) {
        if (length > size - kLongValueHeader) damaged("an inline value of " + column + " is longer than its field");
        return page.bytes(at + kLongValueHeader, length);
    }
    if (length > pages_.fileSize())
        damaged("a value of " + column + " claims " + std::to_string(length) + " bytes, more than the file holds");
    count(length);
    const uint32_t first = page.u32(at + 4);
    if (lengthAndFlags & kSingleRow) {
        auto [lval, slot] = lvalRow(first, column);
        if (slot.end - slot.start < length) damaged("a value of " + column + " is longer than its LVAL row");
        return lval.bytes(slot.start, length);
    }
    std::string out;
    std::set<uint32_t> visited;
    uint32_t pointer = first;
    while (out.size() < length) {
        if (pointer == 0) damaged("the long value chain of " + column + " ends after " + std::to_string(out.size()) + " of " + std::to_string(length) + " bytes");
        if (!visited.insert(pointer).second)
            damaged("the long value chain of " + column + " comes back to row " + std::to_string(pointer & 0xFF) + " of " +
                    pageText(pointer >> 8));
        auto [lval, slot] = lvalRow(pointer, column);
        if (slot.end - slot.start < 4) damaged("a part of the long value of " + column + " has no room for its next pointer");
        pointer = lval.u32(slot.start);
        const size_t part = std::min(slot.end - slot.start - 4, length - out.size());
        out.append(reinterpret_cast<const char*>(lval.span(slot.start + 4, part)), part);
    }
    return out;
}

}  // namespace dex::jetfile
