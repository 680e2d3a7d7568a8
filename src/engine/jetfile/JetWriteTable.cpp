#include "JetWriteTable.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <stdexcept>

#include "IndexPages.h"
#include "JetFile.h"
#include "JetWriteRow.h"

namespace dex::jetfile::jetwrite {

namespace ct = dex::jetfile::coltype;

namespace {

constexpr uint32_t TableMagic = 1625, IndexMagic = 1923;

[[noreturn]] void fail(const std::string& message) { throw std::runtime_error(message); }

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

void layoutColumns(TablePlan& t, const Format& f, int fileSortOrder) {
    if (t.columns.empty() || t.columns.size() > 255) fail("table " + t.name + " needs 1 to 255 columns");
    int fixedOffset = 0, varIndex = 0;
    for (size_t i = 0; i < t.columns.size(); ++i) {
        ColumnPlan& c = t.columns[i];
        const int type = c.def.type;
        if (type < ct::Bool || (type > ct::Memo && type != ct::RepId && type != ct::Numeric && type != ct::FixedBinary))
            fail("table " + t.name + " column " + c.def.name + ": unknown type " + std::to_string(type));
        if (f.jet3 && type == ct::Numeric) fail("table " + t.name + " column " + c.def.name + ": Jet 3 has no Numeric");
        if (c.def.autonumber && type != ct::Long && type != ct::RepId)
            fail("table " + t.name + " column " + c.def.name + ": only Long and RepId columns can be autonumbers");
        c.number = static_cast<int>(i);
        if (type == ct::FixedBinary && (c.def.size <= 0 || c.def.size > f.maxRowSize))
            fail("table " + t.name + " column " + c.def.name + ": a fixed-length binary column needs a size");
        const int size = fixedSize(c);
        c.fixed = size >= 0;
        c.flags = 0x02 | (c.fixed ? 0x01 : 0) | (t.system ? 0x10 : 0);
        if (c.def.autonumber) c.flags |= type == ct::Long ? 0x04 : 0x40;
        if (c.def.flags) c.flags = (*c.def.flags & ~0x01) | (c.fixed ? 0x01 : 0);
        c.sortOrder = c.def.sortOrder ? c.def.sortOrder : fileSortOrder;
        if (c.fixed) {
            c.fixedOffset = fixedOffset;
            fixedOffset += size;
            c.storedLength = type == ct::Bool ? 1 : size;
        } else {
            c.varIndex = varIndex++;
            if (c.def.size <= 0 && (type == ct::Text || type == ct::Binary)) c.def.size = 255;
            if (c.def.size > (type == ct::Binary ? 510 : 255))
                fail("table " + t.name + " column " + c.def.name + ": size over " + (type == ct::Binary ? "510" : "255"));
            c.storedLength = type == ct::Text ? c.def.size * (f.jet3 ? 1 : 2) : type == ct::Binary ? c.def.size : 0;
            c.compressed = !f.jet3 && (type == ct::Text || type == ct::Memo) && c.def.compressed.value_or(!t.system);
        }
        if (type == ct::Numeric && (c.def.precision < 1 || c.def.precision > 28 || c.def.scale < 0 ||
                                    c.def.scale > c.def.precision))
            fail("table " + t.name + " column " + c.def.name + ": bad precision/scale");
    }
}

// ---------------------------------------------------------------- table definition

namespace {

struct TableDefRefs {
    uint32_t rows = 0, autonumber = 0;
    uint32_t ownedMap = 0, freeMap = 0;
    std::vector<uint32_t> indexMaps;
    std::vector<int> indexRoots;
    std::vector<uint32_t> indexKeys;
    std::map<int, std::pair<uint32_t, uint32_t>> longValueMaps;  // column number -> owned, free
    std::function<int(const std::string&)> pageOf;
};

void putColumn(Bytes& b, const ColumnPlan& c, const Format& f, const TextCodec& codec) {
    const int sortOrder = c.sortOrder;
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

Bytes buildTableDef(const TablePlan& t, const Format& f, const TextCodec& codec, const TableDefRefs& refs) {
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
        put32(b, i < refs.indexKeys.size() ? refs.indexKeys[i] : 0);  // the distinct keys in its tree
        if (!f.jet3) put32(b, 0);
    }
    for (const ColumnPlan& c : t.columns) putColumn(b, c, f, codec);
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

}  // namespace

size_t tableDefSize(const TablePlan& t, const Format& f, const TextCodec& codec) {
    return buildTableDef(t, f, codec, TableDefRefs{}).size();
}

// ---------------------------------------------------------------- rows and indexes

namespace {

// One physical index while its rows come in: how to key them and the entries so far.
struct IndexBuild {
    const PhysicalIndex* plan = nullptr;
    std::vector<IndexKeyColumn> columns;
    std::vector<size_t> positions;  // the key columns' places in a row
    bool computable = true;
    std::string whyNot;
    std::vector<IndexEntry> entries;
    // A unique index's entries with a Null in their key (page << 8 | row, in
    // the order the rows came): Nulls never make two keys the same.
    std::vector<uint32_t> nullKeyed;
    std::vector<KeyValue> keyValues;  // one row's, reused
};

std::string indexWhere(const TablePlan& t, const PhysicalIndex& p) {
    return "table '" + t.name + "', index '" + p.name + "'";
}

std::vector<IndexBuild> planIndexes(const TablePlan& t, bool jet3) {
    std::vector<IndexBuild> out;
    for (const PhysicalIndex& p : t.physical) {
        IndexBuild b;
        b.plan = &p;
        for (size_t k = 0; k < p.columns.size(); ++k) {
            const ColumnPlan& c = t.columns[static_cast<size_t>(p.columns[k])];
            IndexKeyColumn kc;
            kc.type = c.def.type;
            kc.descending = !p.ascending[k];
            kc.generalSortOrder = isJet4GeneralSortOrder(c.sortOrder, jet3);
            kc.scale = c.def.scale;
            if (const std::string why = whyKeyNotComputable(kc); !why.empty() && b.computable) {
                b.computable = false;
                b.whyNot = "column '" + c.def.name + "': " + why;
            }
            b.columns.push_back(kc);
            b.positions.push_back(static_cast<size_t>(c.number));
        }
        out.push_back(std::move(b));
    }
    return out;
}

void addEntries(const TablePlan& t, std::vector<IndexBuild>& indexes, const std::vector<JetValue>& values,
                RowPointer where, uint64_t ordinal, bool emptyUnkeyed) {
    // The key an old file's index gave these values; false when there is none.
    auto carried = [&](IndexBuild& b) {
        if (!t.keysByValue) return false;
        std::vector<JetValue> key;
        std::vector<std::string> names;
        for (size_t k = 0; k < b.positions.size(); ++k) {
            key.push_back(values[b.positions[k]]);
            names.push_back(t.columns[static_cast<size_t>(b.plan->columns[k])].def.name);
        }
        std::vector<uint8_t> bytes = t.keysByValue(JetKeyRequest{t.name, b.plan->name, names, key});
        if (bytes.empty()) return false;
        b.entries.push_back(IndexEntry{std::move(bytes), where, 0});
        return true;
    };
    for (IndexBuild& b : indexes) {
        std::vector<KeyValue>& keyValues = b.keyValues;
        if (!b.computable) {
            if (t.carriedKey) {
                std::vector<uint8_t> key = t.carriedKey(b.plan->name, ordinal);
                if (!key.empty()) b.entries.push_back(IndexEntry{std::move(key), where, 0});
                continue;
            }
            if (t.keysByValue) {
                keyValues.resize(b.positions.size());
                for (size_t k = 0; k < b.positions.size(); ++k) setKeyValue(keyValues[k], values[b.positions[k]]);
                if (!rowHasIndexEntry((b.plan->flags & 0x02) != 0, keyValues) || carried(b)) continue;
                throw JetWriteError(indexWhere(t, *b.plan) + ", row " + std::to_string(ordinal + 1) +
                                        ": its keys cannot be computed (" + b.whyNot +
                                        ") and the old index holds no key for the row's values",
                                    t.name, b.plan->name);
            }
            if (emptyUnkeyed) continue;
            throw JetWriteError(indexWhere(t, *b.plan) + ": its keys cannot be computed (" + b.whyNot +
                                    ") and none were carried over",
                                t.name, b.plan->name);
        }
        keyValues.resize(b.positions.size());
        for (size_t k = 0; k < b.positions.size(); ++k) setKeyValue(keyValues[k], values[b.positions[k]]);
        if (!rowHasIndexEntry((b.plan->flags & 0x02) != 0, keyValues)) continue;
        if ((b.plan->flags & 0x01) &&
            std::any_of(keyValues.begin(), keyValues.end(), [](const KeyValue& k) { return std::holds_alternative<std::monostate>(k); }))
            b.nullKeyed.push_back(where.page << 8 | where.row);
        try {
            b.entries.push_back(IndexEntry{encodeIndexKey(b.columns, keyValues), where, 0});
        } catch (const IndexKeyError& e) {
            if (carried(b)) continue;
            throw JetWriteError(indexWhere(t, *b.plan) + ", row " + std::to_string(ordinal + 1) + ": " + e.what(),
                                t.name, b.plan->name, e.codePoint());
        }
    }
}

// The first sixteen bytes of an entry as a page holds it (key, row page,
// row), big-endian in two words, zeros after its end: two entries whose
// heads differ order as their heads do.
struct EntryHead {
    uint64_t high = 0, low = 0;
    bool operator==(const EntryHead&) const = default;
    bool operator<(const EntryHead& o) const { return high != o.high ? high < o.high : low < o.low; }
};

EntryHead entryHead(const IndexEntry& e) {
    uint8_t bytes[16] = {};
    const size_t k = std::min<size_t>(e.key.size(), sizeof bytes);
    if (k > 0) std::memcpy(bytes, e.key.data(), k);
    const uint8_t pointer[4] = {static_cast<uint8_t>(e.row.page >> 16), static_cast<uint8_t>(e.row.page >> 8),
                                static_cast<uint8_t>(e.row.page), e.row.row};
    for (size_t i = k, j = 0; i < sizeof bytes && j < 4; ++i, ++j) bytes[i] = pointer[j];
    EntryHead head;
    for (size_t i = 0; i < 8; ++i) head.high = head.high << 8 | bytes[i];
    for (size_t i = 8; i < 16; ++i) head.low = head.low << 8 | bytes[i];
    return head;
}

// Sorts the entries and counts the distinct keys among them. The sort runs
// over each entry's head and place, the whole entries compared only where
// heads are equal, and moves every entry once.
uint32_t sortAndCount(std::vector<IndexEntry>& entries) {
    struct Item {
        EntryHead head;
        size_t at;
    };
    std::vector<Item> items(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) items[i] = Item{entryHead(entries[i]), i};
    std::sort(items.begin(), items.end(), [&entries](const Item& a, const Item& b) {
        if (!(a.head == b.head)) return a.head < b.head;
        return compareIndexEntries(entries[a.at], entries[b.at]) < 0;
    });
    std::vector<IndexEntry> sorted;
    sorted.reserve(entries.size());
    for (const Item& item : items) sorted.push_back(std::move(entries[item.at]));
    entries.swap(sorted);
    uint32_t distinct = 0;
    for (size_t i = 0; i < entries.size(); ++i)
        if (i == 0 || entries[i].key != entries[i - 1].key) ++distinct;
    return distinct;
}

// The rows are numbered from 1 in the order they came: `pageFirst` holds
// each data page with the number of rows before it.
uint64_t rowNumberOf(const std::vector<std::pair<uint32_t, uint64_t>>& pageFirst, RowPointer where) {
    const auto it = std::lower_bound(pageFirst.begin(), pageFirst.end(), where.page,
                                     [](const auto& p, uint32_t page) { return p.first < page; });
    return it == pageFirst.end() || it->first != where.page ? 0 : it->second + where.row + 1;
}

// A unique index whose sorted entries hold the same key twice (no Null in
// it) ends the write, naming the table, the index and both rows.
void requireUniqueKeys(const TablePlan& t, const IndexBuild& b,
                       const std::vector<std::pair<uint32_t, uint64_t>>& pageFirst) {
    if (!(b.plan->flags & 0x01)) return;
    auto nullKeyed = [&](RowPointer r) {
        return std::binary_search(b.nullKeyed.begin(), b.nullKeyed.end(), r.page << 8 | r.row);
    };
    for (size_t i = 1; i < b.entries.size(); ++i) {
        const IndexEntry& x = b.entries[i - 1];
        const IndexEntry& y = b.entries[i];
        if (x.key != y.key || nullKeyed(x.row) || nullKeyed(y.row)) continue;
        std::string columns;
        for (int c : b.plan->columns) columns += (columns.empty() ? "" : ", ") + t.columns[static_cast<size_t>(c)].def.name;
        uint64_t first = rowNumberOf(pageFirst, x.row), second = rowNumberOf(pageFirst, y.row);
        if (first > second) std::swap(first, second);
        throw JetWriteError(indexWhere(t, *b.plan) + ": rows " + std::to_string(first) + " and " + std::to_string(second) +
                                " have the same " + columns + ", which the unique index does not allow",
                            t.name, b.plan->name);
    }
}

}  // namespace

uint64_t TableWriter::write(const TablePlan& t) {
    const Format& f = file.format();
    const int tdefPage = t.tdefPages.front();
    TableDefRefs refs;
    refs.pageOf = tdefPageOf;
    const MapSlot owned = maps.reserve(), freeMap = maps.reserve();
    refs.ownedMap = owned.pointer();
    refs.freeMap = freeMap.pointer();
    std::vector<MapSlot> indexSlots;
    for (size_t i = 0; i < t.physical.size(); ++i) indexSlots.push_back(maps.reserve());
    std::map<int, LongValues> longValues;
    std::map<int, std::pair<MapSlot, MapSlot>> longValueSlots;
    for (const ColumnPlan& c : t.columns)
        if (c.longValue()) {
            longValues.emplace(c.number, LongValues(file));
            longValueSlots[c.number] = {maps.reserve(), maps.reserve()};
        }

    std::vector<IndexBuild> indexes = planIndexes(t, f.jet3);
    std::vector<int> dataPages;
    std::vector<std::pair<uint32_t, uint64_t>> pageFirst;  // each data page, the rows before it
    std::vector<Field> fields(t.columns.size());
    std::vector<const ColumnPlan*> vars;  // the variable-length columns, in order
    for (const ColumnPlan& c : t.columns)
        if (!c.fixed) vars.push_back(&c);
    RowBuffers buffers;
    Bytes row;
    uint64_t ordinal = 0;
    int64_t autonumber = 0;
    if (t.rows) {
        t.rows([&](std::vector<JetValue>& values) {
            // Named only when something is wrong with the row.
            const auto where = [&] { return "table '" + t.name + "', row " + std::to_string(ordinal + 1); };
            if (values.size() != t.columns.size())
                throw JetWriteError(where() + ": " + std::to_string(values.size()) + " values for " +
                                        std::to_string(t.columns.size()) + " columns",
                                    t.name);
            for (const ColumnPlan& c : t.columns) {
                const JetValue& v = values[static_cast<size_t>(c.number)];
                try {
                    auto lv = longValues.find(c.number);
                    encodeField(fields[static_cast<size_t>(c.number)], c, v, codec,
                                lv == longValues.end() ? nullptr : &lv->second, buffers);
                } catch (const std::runtime_error& e) {
                    throw JetWriteError(where() + ", column '" + c.def.name + "': " + e.what(), t.name);
                }
                if (c.def.autonumber && c.def.type == ct::Long)
                    if (const auto* n = std::get_if<int64_t>(&v)) autonumber = std::max(autonumber, *n);
            }
            try {
                encodeRow(row, t, vars, fields, f, buffers);
            } catch (const std::runtime_error& e) {
                throw JetWriteError(where() + ": " + e.what(), t.name);
            }
            int number = dataPages.empty() ? -1 : rowpage::add(file.page(dataPages.back()), f, row);
            if (number < 0) {
                dataPages.push_back(file.allocate());
                pageFirst.emplace_back(static_cast<uint32_t>(dataPages.back()), ordinal);
                rowpage::init(file.page(dataPages.back()), f, static_cast<uint32_t>(tdefPage));
                number = rowpage::add(file.page(dataPages.back()), f, row);
            }
            addEntries(t, indexes, values, RowPointer{static_cast<uint32_t>(dataPages.back()), static_cast<uint8_t>(number)},
                       ordinal, emptyTreesForUnkeyedIndexes);
            ++ordinal;
        });
    }
    refs.rows = static_cast<uint32_t>(ordinal);
    refs.autonumber = static_cast<uint32_t>(std::clamp<int64_t>(autonumber, 0, INT32_MAX));
    maps.write(owned, dataPages);
    maps.write(freeMap, {});
    for (const auto& [number, slots] : longValueSlots) {
        maps.write(slots.first, longValues.at(number).pages());
        maps.write(slots.second, {});
        refs.longValueMaps[number] = {slots.first.pointer(), slots.second.pointer()};
    }

    IndexTreeOptions options;
    options.jet3 = f.jet3;
    for (size_t i = 0; i < indexes.size(); ++i) {
        refs.indexKeys.push_back(sortAndCount(indexes[i].entries));
        requireUniqueKeys(t, indexes[i], pageFirst);
        IndexTree tree;
        try {
            tree = buildIndexTree(
                std::move(indexes[i].entries), static_cast<uint32_t>(tdefPage), options,
                [&] { return static_cast<uint32_t>(file.allocate()); },
                [&](uint32_t page, std::vector<uint8_t> bytes) {
                    file.page(static_cast<int>(page)).assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
                });
        } catch (const IndexPageError& e) {
            throw JetWriteError(indexWhere(t, *indexes[i].plan) + ": " + e.what(), t.name, indexes[i].plan->name);
        }
        maps.write(indexSlots[i], std::vector<int>(tree.pages.begin(), tree.pages.end()));
        refs.indexMaps.push_back(indexSlots[i].pointer());
        refs.indexRoots.push_back(static_cast<int>(tree.root));
    }
    writeTableDefPages(file, t.tdefPages, buildTableDef(t, f, codec, refs));
    return ordinal;
}

}  // namespace dex::jetfile::jetwrite
