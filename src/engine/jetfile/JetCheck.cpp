#include "JetCheck.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "IndexKey.h"
#include "IndexWalk.h"

namespace dex::jetfile {
namespace {

constexpr uint8_t kDataPage = 0x01;

// The pages a usage map itself occupies: the page of its row and, for a
// reference map, its map pages.
std::vector<uint32_t> mapHolders(const JetPages& pages, uint32_t pointer, bool jet3) {
    std::vector<uint32_t> out{pointer >> 8};
    const PageView page = pages.page(pointer >> 8, "the usage map");
    const auto slots = rowSlots(page, jet3);
    const size_t row = pointer & 0xFF;
    if (row >= slots.size() || slots[row].end == slots[row].start) return out;
    if (page.u8(slots[row].start) != 1) return out;
    for (size_t at = slots[row].start + 1; at + 4 <= slots[row].end; at += 4)
        if (const uint32_t p = page.u32(at)) out.push_back(p);
    return out;
}

std::string hex(const std::vector<uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) out += std::string{digits[b >> 4], digits[b & 15], ' '};
    if (!out.empty()) out.pop_back();
    return out;
}

// What one physical index should hold, gathered while the rows are read.
struct IndexPlan {
    std::string name;                   // the logical indexes that use it, joined by ", "
    std::vector<IndexKeyColumn> columns;
    std::vector<size_t> positions;      // of its key columns in the row (column-number order)
    std::string columnNames;            // its key columns, joined by ", "
    std::string notComputable;          // why keys cannot be recomputed; "" when they can
    // Each live row with an entry here and its key (in `keys`; empty when not
    // computable), by place once the rows are in.
    struct Expected {
        uint64_t place = 0;  // page << 16 | row
        size_t keyAt = 0;
        uint32_t keyLength = 0;
        bool nullInKey = false;  // a Null in a key column: such keys never repeat one another
        bool operator<(const Expected& o) const { return place < o.place; }
    };
    std::vector<Expected> expected;
    std::vector<uint8_t> keys;
    // The lookup by place that settle() lays out.
    struct PageRun {
        uint32_t page = 0;
        size_t first = 0, rows = 0;  // its slots: first .. first + rows
    };
    static constexpr uint32_t kNoRow = UINT32_MAX;
    std::vector<PageRun> pageRuns;
    std::vector<uint32_t> slots;  // index into `expected`, kNoRow where no live row has an entry
    // Sorts the rows by place (a row met twice keeps its last key) and
    // lays out a lookup by place: each page's rows in one run of slots.
    void settle() {
        if (!std::is_sorted(expected.begin(), expected.end())) std::stable_sort(expected.begin(), expected.end());
        size_t out = 0;
        for (size_t i = 0; i < expected.size(); ++i) {
            if (out > 0 && expected[out - 1].place == expected[i].place) --out;
            expected[out++] = expected[i];
        }
        expected.resize(out);
        pageRuns.clear();
        slots.clear();
        for (size_t i = 0; i < expected.size();) {
            const uint64_t page = expected[i].place >> 16;
            size_t end = i;
            while (end < expected.size() && expected[end].place >> 16 == page) ++end;
            const size_t rows = (expected[end - 1].place & 0xFFFF) + 1;
            pageRuns.push_back(PageRun{static_cast<uint32_t>(page), slots.size(), rows});
            slots.resize(slots.size() + rows, kNoRow);
            for (size_t k = i; k < end; ++k) slots[pageRuns.back().first + (expected[k].place & 0xFFFF)] = static_cast<uint32_t>(k);
            i = end;
        }
    }
    // The row at that place, or nullptr.
    const Expected* find(uint32_t page, int row) const {
        auto run = std::lower_bound(pageRuns.begin(), pageRuns.end(), page,
                                    [](const PageRun& r, uint32_t p) { return r.page < p; });
        if (run == pageRuns.end() || run->page != page || row < 0 || static_cast<size_t>(row) >= run->rows) return nullptr;
        const uint32_t at = slots[run->first + static_cast<size_t>(row)];
        return at == kNoRow ? nullptr : &expected[at];
    }
    bool keyIs(const Expected& e, const std::vector<uint8_t>& key) const {
        return e.keyLength == key.size() && (key.empty() || std::memcmp(keys.data() + e.keyAt, key.data(), key.size()) == 0);
    }
    std::vector<uint8_t> keyOf(const Expected& e) const {
        return std::vector<uint8_t>(keys.begin() + static_cast<std::ptrdiff_t>(e.keyAt),
                                    keys.begin() + static_cast<std::ptrdiff_t>(e.keyAt + e.keyLength));
    }
};

uint64_t placeOf(uint32_t page, int row) { return static_cast<uint64_t>(page) << 16 | static_cast<uint16_t>(row); }

// "the file is damaged: X in table 'T'" as X.
std::string withoutFrame(std::string what, const std::string& table) {
    const std::string head = "the file is damaged: ", tail = " in table '" + table + "'";
    if (what.rfind(head, 0) == 0) what.erase(0, head.size());
    if (what.size() > tail.size() && what.compare(what.size() - tail.size(), tail.size(), tail) == 0)
        what.erase(what.size() - tail.size());
    return what;
}

class Checker {
public:
    Checker(const JetModel& m, const JetCheckRowObserver& onRow)
        : m_(m), pages_(m.pages()), reached_(pages_.count(), 0), free_(pages_.count(), 0), onRow_(onRow) {}

    JetCheckReport run() {
        report_.pages = pages_.count();
        reach(0);
        globalMap();
        ownersOfDataPages();
        for (const JetModelTable& t : m_.tables()) table(t);
        unreached();
        return std::move(report_);
    }

private:
    void problem(const std::string& table, uint32_t page, const std::string& what, const std::string& index = {}) {
        report_.problems.push_back(JetFinding{table, index, page, what});
    }
    void reach(uint32_t p) {
        if (p < reached_.size()) reached_[p] = 1;
    }
    // Marks the pages of a usage map and, with `listed`, the pages it lists.
    void reachMap(const std::string& table, uint32_t pointer, const char* what, bool listed, const std::string& index = {}) {
        if (pointer == 0) return;  // no map (Access leaves a long-value column's free-space map at 0)
        try {
            for (uint32_t p : mapHolders(pages_, pointer, m_.jet3())) reach(p);
            if (listed)
                for (uint32_t p : readUsageMap(pages_, pointer, m_.jet3())) reach(p);
        } catch (const JetDamage& e) {
            problem(table, pointer >> 8, std::string(what) + ": " + e.what(), index);
        }
    }

    // Page 1 holds the file's own map: its first row lists the free pages.
    void globalMap() {
        reach(1);
        try {
            const PageView page = pages_.page(1);
            if (page.u8(0) != kDataPage) {
                problem("", 1, "page 1 is not the file's page map");
                return;
            }
            // Free pages may lie past the end: they are pages the file could grow into.
            const auto slots = rowSlots(page, m_.jet3());
            if (slots.empty() || slots[0].end - slots[0].start < 5 || page.u8(slots[0].start) != 0) {
                report_.notes.push_back("the file's page map on page 1 is no inline map: free pages are not known");
                return;
            }
            const size_t s = slots[0].start;
            const uint32_t first = page.u32(s + 1);
            for (size_t i = s + 5; i < slots[0].end; ++i)
                for (int bit = 0; bit < 8; ++bit)
                    if (page.u8(i) & (1 << bit)) {
                        const uint64_t p = first + (i - s - 5) * 8 + static_cast<uint64_t>(bit);
                        if (p < free_.size()) free_[p] = 1;
                    }
        } catch (const JetDamage& e) {
            problem("", 1, std::string("the file's page map: ") + e.what());
        }
    }

    void ownersOfDataPages() {
        for (uint32_t p = 1; p < pages_.count(); ++p) {
            const PageView page = pages_.page(p);
            if (page.u8(0) == kDataPage) owners_[page.u32(4)].push_back(p);
        }
    }

    void table(const JetModelTable& t) {
        ++report_.tables;
        for (uint32_t p : t.def.pages) reach(p);
        reachMap(t.name, t.def.usageMap, "its usage map", false);
        reachMap(t.name, t.def.freeMap, "its free-space map", true);
        const std::set<uint32_t> listed(t.dataPages.begin(), t.dataPages.end());
        for (uint32_t p : t.dataPages) {
            reach(p);
            const PageView page = pages_.page(p);
            if (page.u8(0) != kDataPage || page.u32(4) != t.page)
                problem(t.name, p, "the usage map lists this page, which is not one of the table's data pages (type " +
                                       std::to_string(page.u8(0)) + ")");
        }
        // A page given up keeps its bytes (and so its owner) but is listed free on page 1.
        for (uint32_t p : owners_[t.page])
            if (!listed.count(p) && !free_[p])
                problem(t.name, p, "the page holds the table's rows but its usage map does not list it");
        rows(t);
        for (const auto& lv : t.def.longValueMaps) {
            reachMap(t.name, lv.owned, "a long-value column's usage map", true);
            reachMap(t.name, lv.free, "a long-value column's free-space map", true);
        }
        for (const auto& ix : t.def.physicalIndexes) {
            ++report_.indexes;
            reachMap(t.name, ix.usageMap, "an index's usage map", true);
        }
    }

    std::vector<IndexPlan> indexPlans(const JetModelTable& t) {
        std::vector<IndexPlan> plans(t.def.physicalIndexes.size());
        std::map<int, size_t> position;
        std::vector<const TdefColumn*> ordinal;
        for (const auto& col : t.def.columns) ordinal.push_back(&col);
        std::sort(ordinal.begin(), ordinal.end(), [](auto* a, auto* b) { return a->number < b->number; });
        for (size_t i = 0; i < ordinal.size(); ++i) position[ordinal[i]->number] = i;
        for (size_t i = 0; i < plans.size(); ++i) {
            IndexPlan& plan = plans[i];
            for (const auto& l : t.def.logicalIndexes)
                if (l.physical == static_cast<int>(i)) plan.name += (plan.name.empty() ? "" : ", ") + m_.text(l.rawName);
            if (plan.name.empty()) plan.name = "#" + std::to_string(i);
            for (const auto& k : t.def.physicalIndexes[i].keys) {
                const TdefColumn& col = *ordinal[position.at(k.column)];
                IndexKeyColumn kc;
                kc.type = col.type;
                kc.descending = k.descending;
                kc.generalSortOrder = isJet4GeneralSortOrder(col.sortOrder, m_.jet3());
                kc.scale = col.scale;
                if (const std::string why = whyKeyNotComputable(kc); !why.empty() && plan.notComputable.empty())
                    plan.notComputable = why;
                plan.columns.push_back(kc);
                plan.positions.push_back(position.at(k.column));
                plan.columnNames += (plan.columnNames.empty() ? "" : ", ") + m_.text(col.rawName);
            }
        }
        return plans;
    }

    void expectEntries(const JetModelTable& t, std::vector<IndexPlan>& plans, const RowPlace& place,
                       const std::vector<JetValue>& row) {
        for (size_t i = 0; i < plans.size(); ++i) {
            IndexPlan& plan = plans[i];
            values_.resize(plan.positions.size());
            for (size_t k = 0; k < plan.positions.size(); ++k) setKeyValue(values_[k], row[plan.positions[k]]);
            if (!rowHasIndexEntry(t.def.physicalIndexes[i].flags & 0x02, values_)) continue;
            const size_t at = plan.keys.size();
            if (plan.notComputable.empty()) {
                try {
                    for (size_t k = 0; k < plan.columns.size(); ++k) appendColumnKey(plan.keys, plan.columns[k], values_[k]);
                } catch (const IndexKeyError& e) {
                    plan.notComputable = e.what();
                    plan.keys.resize(at);
                }
            }
            const bool nullInKey = std::any_of(values_.begin(), values_.end(),
                                               [](const KeyValue& v) { return std::holds_alternative<std::monostate>(v); });
            plan.expected.push_back(IndexPlan::Expected{placeOf(place.page, place.row), at,
                                                        static_cast<uint32_t>(plan.keys.size() - at), nullInKey});
        }
    }

    // Walks every index tree of the table and holds its entries against the live rows.
    void indexes(const JetModelTable& t, std::vector<IndexPlan>& plans) {
        const PageSource source = [this](uint32_t p) -> std::vector<uint8_t> {
            if (!pages_.has(p)) return {};
            const PageView v = pages_.page(p);
            return std::vector<uint8_t>(v.data(), v.data() + v.size());
        };
        for (size_t i = 0; i < plans.size(); ++i) {
            IndexPlan& plan = plans[i];
            const IndexWalk walk = walkIndexTree(t.def.physicalIndexes[i].rootPage, m_.jet3(), pages_.count(), t.page, source);
            for (uint32_t p : walk.pages) reach(p);
            for (const auto& f : walk.findings) problem(t.name, f.page, f.what, plan.name);
            plan.settle();
            std::vector<uint8_t> seen(plan.expected.size(), 0);
            for (const auto& e : walk.entries) {
                auto row = [&] { return "row " + std::to_string(e.row.row) + " of page " + std::to_string(e.row.page); };
                const IndexPlan::Expected* it = plan.find(e.row.page, e.row.row);
                if (!it) {
                    problem(t.name, e.row.page, "an entry points to " + row() + ", which is no live row of the table with an entry here", plan.name);
                    continue;
                }
                uint8_t& met = seen[static_cast<size_t>(it - plan.expected.data())];
                if (met) {
                    problem(t.name, e.row.page, "two entries point to " + row(), plan.name);
                    continue;
                }
                met = 1;
                if (plan.notComputable.empty() && !plan.keyIs(*it, e.key))
                    problem(t.name, e.row.page, "the entry of " + row() + " has the key " + hex(e.key) + ", its values make " +
                                                    hex(plan.keyOf(*it)),
                            plan.name);
            }
            if (t.def.physicalIndexes[i].flags & 0x01) repeatedKeys(t, plan, walk);
            for (size_t k = 0; k < plan.expected.size(); ++k)
                if (!seen[k]) {
                    const auto page = static_cast<uint32_t>(plan.expected[k].place >> 16);
                    const auto row = static_cast<int>(plan.expected[k].place & 0xFFFF);
                    problem(t.name, page, "row " + std::to_string(row) + " of page " + std::to_string(page) + " has no entry",
                            plan.name);
                }
            if (!plan.notComputable.empty())
                report_.notes.push_back("table '" + t.name + "', index '" + plan.name + "': keys checked for order and coverage, not recomputed (" +
                                        plan.notComputable + ")");
        }
    }

    // A unique index holds no key twice, Nulls apart (as the writer builds
    // one). Its entries are in order, so a repeated key is its neighbour's.
    void repeatedKeys(const JetModelTable& t, const IndexPlan& plan, const IndexWalk& walk) {
        const IndexEntry* previous = nullptr;
        for (size_t k = 0; k < walk.entries.size(); ++k) {
            const IndexEntry& e = walk.entries[k];
            const IndexPlan::Expected* row = plan.find(e.row.page, e.row.row);
            if (!row || row->nullInKey) continue;  // no live row, or a key that may repeat
            if (previous && previous->key == e.key && !(previous->row.page == e.row.page && previous->row.row == e.row.row))
                problem(t.name, walk.leafOf(k),
                        "row " + std::to_string(previous->row.row) + " of page " + std::to_string(previous->row.page) +
                            " and row " + std::to_string(e.row.row) + " of page " + std::to_string(e.row.page) +
                            " have the same " + plan.columnNames + " (key " + hex(e.key) +
                            "), which the unique index does not allow",
                        plan.name);
            previous = &e;
        }
    }

    void rows(const JetModelTable& t) {
        size_t live = 0;
        std::vector<IndexPlan> plans = indexPlans(t);
        // Room for the rows the table says it has, as far as its pages can hold them.
        const size_t rowsHeld = std::min<size_t>(t.def.rowCount, t.dataPages.size() * 256);
        for (IndexPlan& plan : plans) plan.expected.reserve(rowsHeld);
        // Every LVAL row belongs to one value: a row that a second value reads is shared.
        std::map<uint32_t, RowPlace> lvalOwner;
        std::set<std::pair<uint32_t, int>> reported;  // one finding per value
        try {
            TableRows rows(pages_, t.def, t.page, m_.jet3(), m_.header().codePage, t.name);
            rows.onLongValueRow([&](uint32_t pointer, const RowPlace& current) {
                auto [it, fresh] = lvalOwner.emplace(pointer, current);
                if (!fresh && (it->second.page != current.page || it->second.row != current.row) &&
                    reported.emplace(current.page, current.row).second)
                    problem(t.name, pointer >> 8,
                            "row " + std::to_string(pointer & 0xFF) + " of this long-value page belongs to the values of "
                            "row " + std::to_string(it->second.row) + " of page " + std::to_string(it->second.page) +
                            " and of row " + std::to_string(current.row) + " of page " + std::to_string(current.page));
            });
            rows.forEach([&](const RowPlace& place, std::vector<JetValue>& values) {
                reach(place.dataPage);
                expectEntries(t, plans, place, values);
                if (onRow_) onRow_(t, values);
                return ++live, true;
            });
            for (uint32_t p : rows.longValuePages()) reach(p);
        } catch (const DbError& e) {
            problem(t.name, 0, withoutFrame(e.description(), t.name));
            return;
        }
        indexes(t, plans);
        report_.rows += live;
        if (live == t.def.rowCount) return;
        const std::string what = "the definition counts " + std::to_string(t.def.rowCount) + " rows, its pages hold " +
                                 std::to_string(live);
        // Access leaves the counts of its own system tables behind (MSysQueries
        // of an Access 2000 file: 82 counted, 90 live rows, all of them indexed).
        if (m_.catalog()[t.catalogIndex].flags & 0x80000000)
            report_.notes.push_back("table '" + t.name + "': " + what + " (a system table, whose count Access does not keep)");
        else
            problem(t.name, t.page, what);
    }

    void unreached() {
        for (uint32_t p = 2; p < pages_.count(); ++p) {
            if (reached_[p] || free_[p]) continue;
            const uint8_t type = pages_.page(p).u8(0);
            problem("", p, "the page (type " + std::to_string(type) +
                               ") belongs to no table, index or long value and is not listed free");
        }
    }

    const JetModel& m_;
    const JetPages& pages_;
    std::vector<uint8_t> reached_, free_;
    const JetCheckRowObserver& onRow_;
    std::map<uint32_t, std::vector<uint32_t>> owners_;
    JetCheckReport report_;
    std::vector<KeyValue> values_;  // one row's key values, reused
};

}  // namespace

std::string JetFinding::text() const {
    std::string out;
    if (!table.empty()) out += "table '" + table + "'";
    if (!index.empty()) out += (out.empty() ? "" : ", ") + std::string("index '") + index + "'";
    if (page) out += (out.empty() ? "" : ", ") + std::string("page ") + std::to_string(page);
    return (out.empty() ? "" : out + ": ") + what;
}

JetCheckReport checkJetFile(const JetModel& model, const JetCheckRowObserver& onRow) {
    return Checker(model, onRow).run();
}

}  // namespace dex::jetfile
