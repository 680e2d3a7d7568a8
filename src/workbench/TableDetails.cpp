#include "TableDetails.h"

#include "IndexDiff.h"
#include "modCmpDB.h"

namespace dex::details {

namespace {

using indexdiff::Change;
using words::Language;

std::string say(Language lang, std::string_view korean) { return words::Say(lang, words::Context::Details, korean); }

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : ", ") + n;
    return out;
}

std::string references(const IndexDef& index) {
    return index.foreign ? index.referencedTable + " (" + joined(index.referencedFields) + ")" : std::string();
}

std::vector<std::string> sideHeaders(const std::vector<const char*>& names, const char* side, Language lang) {
    std::vector<std::string> out;
    for (const char* n : names) out.push_back(std::string(side) + " " + say(lang, n));
    return out;
}

Sheet emptySheet(const std::vector<const char*>& sideColumns, Language lang) {
    Sheet sheet;
    sheet.headers = sideHeaders(sideColumns, "A", lang);
    sheet.headers.push_back(say(lang, "비교"));
    for (auto& h : sideHeaders(sideColumns, "B", lang)) sheet.headers.push_back(std::move(h));
    return sheet;
}

// ---------------------------------------------------------------- indexes

// Offsets of the index columns within one side.
constexpr int kName = 0, kKind = 1, kUnique = 2, kFields = 3, kRefs = 4;

std::vector<Cell> indexCells(const IndexDef* index, Language lang) {
    if (!index) return std::vector<Cell>(kIndexSideColumns);
    return {{index->name, {}},
            {KindText(*index, lang), {}},
            {index->unique ? "O" : "", {}},
            {joined(index->fields), {}},
            {references(*index), {}}};
}

// The columns a redefinition's parts concern, and their words.
std::vector<int> partColumns(unsigned parts) {
    std::vector<int> cols;
    if (parts & (indexdiff::part::Fields | indexdiff::part::FieldOrder)) cols.push_back(kFields);
    if (parts & indexdiff::part::Unique) cols.push_back(kUnique);
    if (parts & (indexdiff::part::Primary | indexdiff::part::Foreign)) cols.push_back(kKind);
    if (parts & (indexdiff::part::ReferencedTable | indexdiff::part::ReferencedFields)) cols.push_back(kRefs);
    return cols;
}

std::string partWords(unsigned parts, Language lang) {
    static const std::pair<unsigned, const char*> partNames[] = {
        {indexdiff::part::Fields, "필드"},
        {indexdiff::part::FieldOrder, "필드 순서"},
        {indexdiff::part::Unique, "고유"},
        {indexdiff::part::Primary | indexdiff::part::Foreign, "종류"},
        {indexdiff::part::ReferencedTable, "참조 테이블"},
        {indexdiff::part::ReferencedFields, "참조 필드"},
    };
    std::vector<std::string> out;
    for (const auto& [bits, word] : partNames)
        if (parts & bits) out.push_back(say(lang, word));
    return joined(out);
}

std::string changeText(Change change, unsigned parts, Language lang) {
    switch (change) {
        case Change::OnlyInA: return say(lang, "A에만");
        case Change::OnlyInB: return say(lang, "B에만");
        case Change::Renamed: return say(lang, "이름 다름");
        case Change::Redefined: return words::Fill(say(lang, "다름: %1"), {partWords(parts, lang)});
    }
    return {};
}

std::vector<Cell> indexRow(const IndexDef* a, const IndexDef* b, const indexdiff::IndexDifference* d, Language lang) {
    std::vector<Cell> left = indexCells(a, lang), right = indexCells(b, lang);
    std::string mark;
    if (d) {
        mark = changeText(d->change, d->parts, lang);
        std::vector<int> cols;
        if (d->change == Change::OnlyInA || d->change == Change::OnlyInB)
            cols = {kName, kKind, kUnique, kFields, kRefs};
        else if (d->change == Change::Renamed)
            cols = {kName};
        else
            cols = partColumns(d->parts);
        for (int c : cols) {
            if (a) left[c].back = gridlayout::kRed;
            if (b) right[c].back = gridlayout::kRed;
        }
    }
    std::vector<Cell> row = std::move(left);
    row.push_back({mark, {}});
    for (auto& c : right) row.push_back(std::move(c));
    return row;
}

const indexdiff::IndexDifference* differenceOfA(const std::vector<indexdiff::IndexDifference>& diffs,
                                                const IndexDef& a) {
    for (const auto& d : diffs)
        if (d.a && d.a->name == a.name) return &d;
    return nullptr;
}

const IndexDef* sameIndexOf(const TableDef* b, const IndexDef& a) {
    if (!b) return nullptr;
    for (const auto& x : b->indexes)
        if (equalsNoCase(x.name, a.name) && indexdiff::SameDefinition(x, a)) return &x;
    return nullptr;
}

Sheet indexSheet(const TableDef* a, const TableDef* b, bool compared, Language lang) {
    Sheet sheet = emptySheet({"이름", "종류", "고유", "필드", "참조"}, lang);
    std::vector<indexdiff::IndexDifference> diffs;
    if (compared && a && b) {
        for (auto& d : indexdiff::CompareStructures({*a}, {*b}).indexes) diffs.push_back(std::move(d));
    } else if (compared) {
        // A table one side lacks: each of its indexes is that side's own.
        for (const auto& ix : (a ? a : b)->indexes)
            diffs.push_back({(a ? a : b)->name, a ? Change::OnlyInA : Change::OnlyInB,
                             a ? std::optional<IndexDef>(ix) : std::nullopt,
                             a ? std::nullopt : std::optional<IndexDef>(ix), 0});
    }
    if (a) {
        for (const auto& ix : a->indexes) {
            const auto* d = compared ? differenceOfA(diffs, ix) : nullptr;
            const IndexDef* other = d ? (d->b ? &*d->b : nullptr) : sameIndexOf(b, ix);
            sheet.rows.push_back(indexRow(&ix, other, d, lang));
        }
    }
    if (compared) {
        for (const auto& d : diffs)
            if (d.change == Change::OnlyInB) sheet.rows.push_back(indexRow(nullptr, &*d.b, &d, lang));
    } else if (!a && b) {
        for (const auto& ix : b->indexes) sheet.rows.push_back(indexRow(nullptr, &ix, nullptr, lang));
    }
    return sheet;
}

// ---------------------------------------------------------------- fields

std::string yesNo(bool value, Language lang) { return say(lang, value ? "예" : "아니오"); }

std::vector<Cell> fieldCells(const FieldDef* f, Language lang) {
    if (!f) return std::vector<Cell>(kFieldSideColumns);
    const bool text = f->type == daotype::Text;
    return {{f->name, {}},
            {modCmpDB::TypeName(f->type), {}},
            {text ? std::to_string(f->size) : "", {}},
            {f->defaultValue, {}},
            {yesNo(f->required, lang), {}},
            {text ? yesNo(f->allowZeroLength, lang) : "", {}}};
}

// IndexDiff's setting names, their column within a side, and their words.
struct SettingColumn {
    const char* name;
    int column;
    const char* word;
};
constexpr SettingColumn kSettings[] = {
    {"type", 1, "형식"},     {"size", 2, "크기"},         {"default", 3, "기본값"},
    {"required", 4, "필수"}, {"zero-length", 5, "빈 문자열"},
};

std::vector<Cell> fieldRow(const FieldDef* a, const FieldDef* b, const std::vector<std::string>& settings,
                           bool oneSided, Language lang) {
    std::vector<Cell> left = fieldCells(a, lang), right = fieldCells(b, lang);
    std::string mark;
    if (oneSided) {
        for (auto& c : (a ? left : right)) c.back = gridlayout::kPaleYellow;
        mark = say(lang, a ? "A에만" : "B에만");
    }
    std::vector<std::string> differing;
    for (const auto& s : settings)
        for (const auto& k : kSettings)
            if (s == k.name) {
                left[k.column].back = right[k.column].back = gridlayout::kRed;
                differing.push_back(say(lang, k.word));
            }
    if (!differing.empty()) mark = words::Fill(say(lang, "다름: %1"), {joined(differing)});
    std::vector<Cell> row = std::move(left);
    row.push_back({mark, {}});
    for (auto& c : right) row.push_back(std::move(c));
    return row;
}

const FieldDef* findField(const TableDef* t, const std::string& name) {
    if (!t) return nullptr;
    for (const auto& f : t->fields)
        if (equalsNoCase(f.name, name)) return &f;
    return nullptr;
}

Sheet fieldSheet(const TableDef* a, const TableDef* b, bool compared, Language lang) {
    Sheet sheet = emptySheet({"필드명", "형식", "크기", "기본값", "필수", "빈 문자열"}, lang);
    std::vector<indexdiff::SettingDifference> diffs;
    if (compared && a && b) diffs = indexdiff::CompareStructures({*a}, {*b}).settings;
    auto settingsOf = [&](const std::string& field) {
        for (const auto& d : diffs)
            if (equalsNoCase(d.field, field)) return d.settings;
        return std::vector<std::string>{};
    };
    if (a)
        for (const auto& f : a->fields) {
            const FieldDef* other = findField(b, f.name);
            sheet.rows.push_back(fieldRow(&f, other, settingsOf(f.name), compared && !other, lang));
        }
    if (b)
        for (const auto& f : b->fields)
            if (!findField(a, f.name)) sheet.rows.push_back(fieldRow(nullptr, &f, {}, compared, lang));
    return sheet;
}

}  // namespace

std::string KindText(const IndexDef& index, Language language) {
    return say(language, index.primary ? "기본키" : index.foreign ? "외래키" : "인덱스");
}

TableDetails MakeTableDetails(const LoadedStructures& structures, const std::string& table, Language language) {
    const TableDef* a = structures.loadedA ? findTable(structures.tablesA, table) : nullptr;
    const TableDef* b = structures.loadedB ? findTable(structures.tablesB, table) : nullptr;
    const bool compared = structures.complete();
    TableDetails details;
    details.tableA = a ? a->name : "";
    details.tableB = b ? b->name : "";
    details.indexes = indexSheet(a, b, compared && (a || b), language);
    details.fields = fieldSheet(a, b, compared && (a || b), language);
    return details;
}

std::string MarkTip(const LoadedStructures& structures, int column, const std::string& table,
                    const std::string& field, Language language) {
    using gridlayout::SideColumn;
    const auto side = gridlayout::SideOf(column);
    if (!side || !gridlayout::IsIndexMark(gridlayout::SideColumnOf(column))) return {};
    const SideColumn markColumn = gridlayout::SideColumnOf(column);
    const bool sideA = *side == gridlayout::Side::A;
    if (!(sideA ? structures.loadedA : structures.loadedB)) return {};
    const TableDef* t = findTable(sideA ? structures.tablesA : structures.tablesB, table);
    if (!t) return {};
    std::string tip;
    for (const auto& ix : t->indexes) {
        // The grid marks an index in one column: P for a primary key, else F
        // for a foreign key, else I.
        const SideColumn mark = ix.primary   ? SideColumn::PrimaryKey
                                : ix.foreign ? SideColumn::ForeignKey
                                             : SideColumn::OtherIndex;
        if (mark != markColumn) continue;
        bool holds = false;
        for (const auto& f : ix.fields) holds = holds || equalsNoCase(f, field);
        if (!holds) continue;
        tip += (tip.empty() ? "" : "\n") + indexdiff::DescribeIndex(ix, language);
    }
    return tip;
}

}  // namespace dex::details
