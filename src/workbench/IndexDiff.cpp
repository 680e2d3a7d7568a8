#include "IndexDiff.h"

#include <algorithm>

#include "Grid.h"
#include "modCmpDB.h"

namespace dex::indexdiff {

namespace {

bool sameNames(const std::vector<std::string>& x, const std::vector<std::string>& y) {
    return std::equal(x.begin(), x.end(), y.begin(), y.end(),
                      [](const std::string& p, const std::string& q) { return equalsNoCase(p, q); });
}

bool sameNameSet(std::vector<std::string> x, std::vector<std::string> y) {
    for (auto* v : {&x, &y}) {
        for (auto& n : *v) n = upperText(n);
        std::sort(v->begin(), v->end());
    }
    return x == y;
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : ", ") + n;
    return out;
}

// Matches the indexes of one table pair in three rounds; each index takes
// part in at most one match.
class IndexMatcher {
public:
    IndexMatcher(const TableDef& a, const TableDef& b)
        : a_(a), b_(b), usedA_(a.indexes.size()), usedB_(b.indexes.size()) {}

    std::vector<IndexDifference> run() {
        matchRound([](const IndexDef& x, const IndexDef& y) {
            return equalsNoCase(x.name, y.name) && SameDefinition(x, y);
        }, std::nullopt);
        matchRound(SameDefinition, Change::Renamed);
        matchRound([](const IndexDef& x, const IndexDef& y) { return equalsNoCase(x.name, y.name); },
                   Change::Redefined);
        for (size_t i = 0; i < a_.indexes.size(); ++i)
            if (!usedA_[i]) out_.push_back({a_.name, Change::OnlyInA, a_.indexes[i], std::nullopt, 0});
        for (size_t j = 0; j < b_.indexes.size(); ++j)
            if (!usedB_[j]) out_.push_back({a_.name, Change::OnlyInB, std::nullopt, b_.indexes[j], 0});
        return std::move(out_);
    }

private:
    template <class Match>
    void matchRound(Match match, std::optional<Change> change) {
        for (size_t i = 0; i < a_.indexes.size(); ++i) {
            if (usedA_[i]) continue;
            for (size_t j = 0; j < b_.indexes.size(); ++j) {
                if (usedB_[j] || !match(a_.indexes[i], b_.indexes[j])) continue;
                usedA_[i] = usedB_[j] = true;
                if (change) {
                    const auto& x = a_.indexes[i];
                    const auto& y = b_.indexes[j];
                    out_.push_back({a_.name, *change, x, y, *change == Change::Redefined ? DefinitionDifferences(x, y) : 0});
                }
                break;
            }
        }
    }

    const TableDef& a_;
    const TableDef& b_;
    std::vector<bool> usedA_, usedB_;
    std::vector<IndexDifference> out_;
};

std::vector<std::string> settingsThatDiffer(const FieldDef& a, const FieldDef& b) {
    std::vector<std::string> out;
    const bool text = a.type == daotype::Text && b.type == daotype::Text;
    if (a.type != b.type) out.push_back("type");
    if (text && a.size != b.size) out.push_back("size");
    if (a.defaultValue != b.defaultValue) out.push_back("default");
    if (a.required != b.required) out.push_back("required");
    if (text && a.allowZeroLength != b.allowZeroLength) out.push_back("zero-length");
    return out;
}

bool hasFieldNamed(const TableDef& t, const std::string& name) {
    for (const auto& f : t.fields)
        if (equalsNoCase(f.name, name)) return true;
    return false;
}

void oneSidedFields(const TableDef& t, const TableDef& other, std::vector<OneSidedField>& out) {
    for (const auto& f : t.fields)
        if (!hasFieldNamed(other, f.name)) out.push_back({t.name, f.name});
}

void compareFields(const TableDef& a, const TableDef& b, std::vector<SettingDifference>& out) {
    for (const auto& fa : a.fields)
        for (const auto& fb : b.fields)
            if (equalsNoCase(fa.name, fb.name)) {
                auto differing = settingsThatDiffer(fa, fb);
                if (!differing.empty()) out.push_back({a.name, fa.name, fa, fb, std::move(differing)});
                break;
            }
}

std::string say(words::Language language, std::string_view korean) {
    return words::Say(language, words::Context::Indexes, korean);
}

std::string settingText(const FieldDef& f, const std::string& setting, words::Language language) {
    if (setting == "type") return modCmpDB::TypeName(f.type);
    if (setting == "size") return std::to_string(f.size);
    if (setting == "default") return f.defaultValue.empty() ? say(language, "(없음)") : f.defaultValue;
    const bool yes = setting == "required" ? f.required : f.allowZeroLength;
    return say(language, yes ? "예" : "아니오");
}

// A setting's name (SettingDifference::settings) in Korean.
std::string_view settingWord(const std::string& setting) {
    if (setting == "type") return "형식";
    if (setting == "size") return "크기";
    if (setting == "default") return "기본값";
    if (setting == "required") return "필수";
    return "빈 문자열";
}

}  // namespace

bool SameDefinition(const IndexDef& x, const IndexDef& y) { return DefinitionDifferences(x, y) == 0; }

unsigned DefinitionDifferences(const IndexDef& x, const IndexDef& y) {
    unsigned parts = 0;
    if (!sameNames(x.fields, y.fields)) parts |= sameNameSet(x.fields, y.fields) ? part::FieldOrder : part::Fields;
    if (x.unique != y.unique) parts |= part::Unique;
    if (x.primary != y.primary) parts |= part::Primary;
    if (x.foreign != y.foreign) parts |= part::Foreign;
    if (x.foreign && y.foreign) {
        if (!equalsNoCase(x.referencedTable, y.referencedTable)) parts |= part::ReferencedTable;
        if (!sameNames(x.referencedFields, y.referencedFields)) parts |= part::ReferencedFields;
    }
    return parts;
}

StructureDiff CompareStructures(const std::vector<TableDef>& a, const std::vector<TableDef>& b) {
    StructureDiff diff;
    for (const auto& ta : a) {
        const TableDef* tb = findTable(b, ta.name);
        if (!tb) {
            diff.tablesOnlyInA.push_back(ta.name);
            continue;
        }
        for (auto& d : IndexMatcher(ta, *tb).run()) diff.indexes.push_back(std::move(d));
        compareFields(ta, *tb, diff.settings);
        oneSidedFields(ta, *tb, diff.fieldsOnlyInA);
        oneSidedFields(*tb, ta, diff.fieldsOnlyInB);
    }
    for (const auto& tb : b)
        if (!findTable(a, tb.name)) diff.tablesOnlyInB.push_back(tb.name);
    return diff;
}

std::string DescribeIndex(const IndexDef& index, words::Language language) {
    std::string kind = say(language, index.primary ? "기본키" : index.foreign ? "외래키" : "인덱스");
    if (index.unique && !index.primary) kind = words::Fill(say(language, "고유 %1"), {kind});
    std::string out = kind + " " + index.name + " (" + joined(index.fields) + ")";
    if (index.foreign)
        out += words::Fill(say(language, " → %1 (%2)"), {index.referencedTable, joined(index.referencedFields)});
    return out;
}

namespace {

struct PartWords {
    unsigned bit;
    const char* name;    // the JSON's name
    const char* korean;  // the description's word
};
constexpr PartWords kParts[] = {
    {part::Fields, "fields", "필드"},
    {part::FieldOrder, "field order", "필드 순서"},
    {part::Unique, "unique", "고유"},
    {part::Primary, "primary", "기본키 여부"},
    {part::Foreign, "foreign", "외래키 여부"},
    {part::ReferencedTable, "referenced table", "참조 테이블"},
    {part::ReferencedFields, "referenced fields", "참조 필드"},
};

}  // namespace

std::vector<std::string> PartNames(unsigned parts) {
    std::vector<std::string> out;
    for (const auto& p : kParts)
        if (parts & p.bit) out.push_back(p.name);
    return out;
}

std::string DescribeParts(unsigned parts, words::Language language) {
    std::vector<std::string> out;
    for (const auto& p : kParts)
        if (parts & p.bit) out.push_back(say(language, p.korean));
    return joined(out);
}

std::string ChangeName(Change change) {
    switch (change) {
        case Change::OnlyInA: return "onlyInA";
        case Change::OnlyInB: return "onlyInB";
        case Change::Renamed: return "renamed";
        case Change::Redefined: return "redefined";
    }
    return {};
}

std::string DescribeDifference(const IndexDifference& d, words::Language language) {
    switch (d.change) {
        case Change::OnlyInA:
            return words::Fill(say(language, "%1: A에만 있는 %2"), {d.table, DescribeIndex(*d.a, language)});
        case Change::OnlyInB:
            return words::Fill(say(language, "%1: B에만 있는 %2"), {d.table, DescribeIndex(*d.b, language)});
        case Change::Renamed:
            return words::Fill(say(language, "%1: A의 %2, B에서의 이름은 %3"),
                               {d.table, DescribeIndex(*d.a, language), d.b->name});
        case Change::Redefined:
            return words::Fill(say(language, "%1: %2의 %3 다름: A %4, B %5"),
                               {d.table, d.a->name, DescribeParts(d.parts, language), DescribeIndex(*d.a, language),
                                DescribeIndex(*d.b, language)});
    }
    return d.table + ": ";
}

std::string DescribeSettings(const SettingDifference& d, words::Language language) {
    std::string out = d.table + "." + d.field + ": ";
    for (size_t i = 0; i < d.settings.size(); ++i)
        out += (i ? "; " : "") + say(language, settingWord(d.settings[i])) + " A " +
               settingText(d.a, d.settings[i], language) + ", B " + settingText(d.b, d.settings[i], language);
    return out;
}

}  // namespace dex::indexdiff
