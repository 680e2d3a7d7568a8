#include "KeyCarrier.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

#include "IndexKey.h"
#include "IndexWalk.h"
#include "NameText.h"

namespace dex::jetfile {

namespace {

std::string columnsKey(const std::vector<std::string>& columns) {
    std::string out;
    for (const std::string& c : columns) out += lowerText(c) + "|";
    return out;
}

// The table's columns in column-number order: the position a row holds each at.
std::map<int, size_t> positions(const JetModelTable& t) {
    std::vector<int> numbers;
    for (const TdefColumn& c : t.def.columns) numbers.push_back(c.number);
    std::sort(numbers.begin(), numbers.end());
    std::map<int, size_t> out;
    for (size_t i = 0; i < numbers.size(); ++i) out[numbers[i]] = i;
    return out;
}

const TdefColumn* columnNumbered(const JetModelTable& t, int number) {
    for (const TdefColumn& c : t.def.columns)
        if (c.number == number) return &c;
    return nullptr;
}

template <class T>
void append(std::string& out, const T& x) {
    out.append(reinterpret_cast<const char*>(&x), sizeof x);
}

}  // namespace

std::string valuesKey(const std::vector<JetValue>& values) {
    std::string out;
    for (const JetValue& v : values) {
        out += static_cast<char>(v.index());
        std::visit(
            [&](const auto& x) {
                using T = std::decay_t<decltype(x)>;
                if constexpr (std::is_same_v<T, std::monostate>) {
                } else if constexpr (std::is_same_v<T, std::string>) {
                    append(out, x.size());
                    out += x;
                } else if constexpr (std::is_same_v<T, JetBytes>) {
                    append(out, x.bytes.size());
                    out += x.bytes;
                } else if constexpr (std::is_same_v<T, JetCurrency>) {
                    append(out, x.units);
                } else if constexpr (std::is_same_v<T, JetDateTime>) {
                    append(out, x.days);
                } else if constexpr (std::is_same_v<T, JetGuid> || std::is_same_v<T, JetDecimal>) {
                    out.append(reinterpret_cast<const char*>(x.bytes.data()), x.bytes.size());
                } else {
                    append(out, x);
                }
            },
            v);
    }
    return out;
}

std::string physicalIndexName(const JetModel& m, const JetModelTable& t, size_t physical) {
    std::string name;
    for (const auto& l : t.def.logicalIndexes)
        if (l.physical == static_cast<int>(physical)) name += (name.empty() ? "" : ", ") + m.text(l.rawName);
    return name.empty() ? "#" + std::to_string(physical) : name;
}

std::string whyIndexNotComputable(const JetModel& m, const JetModelTable& t, size_t physical) {
    for (const TdefIndexKey& k : t.def.physicalIndexes.at(physical).keys) {
        const TdefColumn* c = columnNumbered(t, k.column);
        if (!c) return "it names column " + std::to_string(k.column) + ", which the table does not have";
        IndexKeyColumn kc;
        kc.type = c->type;
        kc.descending = k.descending;
        kc.generalSortOrder = isJet4GeneralSortOrder(c->sortOrder, m.jet3());
        kc.scale = c->scale;
        if (std::string why = whyKeyNotComputable(kc); !why.empty()) return "column '" + m.text(c->rawName) + "': " + why;
    }
    return {};
}

KeyCarrier::KeyCarrier(const JetModel& m, const std::set<std::pair<std::string, size_t>>& indexes) {
    const JetPages& pages = m.pages();
    const PageSource source = [&pages](uint32_t p) -> std::vector<uint8_t> {
        if (!pages.has(p)) return {};
        const PageView v = pages.page(p);
        return std::vector<uint8_t>(v.data(), v.data() + v.size());
    };
    std::map<std::string, std::vector<size_t>> byTable;
    for (const auto& [table, physical] : indexes) byTable[table].push_back(physical);
    for (const auto& [name, physicals] : byTable) {
        const JetModelTable* t = m.table(name);
        if (!t) continue;
        const std::map<int, size_t> at = positions(*t);
        struct Wanted {
            size_t physical;
            std::vector<size_t> columns;  // row positions, key order
            std::string columnsKey;
            std::unordered_map<uint32_t, std::string> values;  // page << 8 | row -> its values
        };
        std::vector<Wanted> wanted;
        for (size_t p : physicals) {
            if (p >= t->def.physicalIndexes.size()) continue;
            Wanted w{p, {}, {}, {}};
            std::vector<std::string> names;
            bool ok = true;
            for (const TdefIndexKey& k : t->def.physicalIndexes[p].keys) {
                const TdefColumn* c = columnNumbered(*t, k.column);
                if (!c) {
                    ok = false;
                    break;
                }
                w.columns.push_back(at.at(k.column));
                names.push_back(m.text(c->rawName));
            }
            if (!ok) continue;
            w.columnsKey = columnsKey(names);
            wanted.push_back(std::move(w));
        }
        std::vector<JetValue> key;
        m.readRows(*t, [&](const RowPlace& place, std::vector<JetValue>& row) {
            for (Wanted& w : wanted) {
                key.clear();
                for (size_t c : w.columns) key.push_back(row[c]);
                w.values.emplace(place.page << 8 | static_cast<uint32_t>(place.row), valuesKey(key));
            }
            return true;
        });
        auto& table = keys_[lowerText(t->name)];
        for (Wanted& w : wanted) {
            const TdefPhysicalIndex& ix = t->def.physicalIndexes[w.physical];
            const IndexWalk walk = walkIndexTree(ix.rootPage, m.jet3(), pages.count(), t->page, source);
            auto& map = table[w.columnsKey];
            for (const IndexEntry& e : walk.entries) {
                const auto v = w.values.find(e.row.page << 8 | e.row.row);
                if (v == w.values.end()) continue;
                if (map.emplace(v->second, e.key).second) ++entries_;
            }
        }
    }
}

JetKeysByValue KeyCarrier::lookup() const {
    return [this](const JetKeyRequest& r) -> std::vector<uint8_t> {
        const auto t = keys_.find(lowerText(r.table));
        if (t == keys_.end()) return {};
        const auto c = t->second.find(columnsKey(r.columns));
        if (c == t->second.end()) return {};
        const auto k = c->second.find(valuesKey(r.values));
        return k == c->second.end() ? std::vector<uint8_t>{} : k->second;
    };
}

}  // namespace dex::jetfile
