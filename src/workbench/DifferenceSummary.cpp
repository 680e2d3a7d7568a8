#include "DifferenceSummary.h"

#include "Grid.h"

namespace dex::summary {

namespace {

std::string say(words::Language language, std::string_view korean) {
    return words::Say(language, words::Context::Summary, korean);
}

std::string count(words::Language language, std::string_view korean, size_t n) {
    return words::Fill(say(language, korean), {std::to_string(n)});
}

}  // namespace

Counts CountOf(const indexdiff::StructureDiff& diff) {
    Counts c;
    c.tablesOnlyInA = diff.tablesOnlyInA.size();
    c.tablesOnlyInB = diff.tablesOnlyInB.size();
    c.fieldsOnlyInA = diff.fieldsOnlyInA.size();
    c.fieldsOnlyInB = diff.fieldsOnlyInB.size();
    c.settings = diff.settings.size();
    c.indexes = diff.indexes.size();
    return c;
}

std::string SideLabel(gridlayout::Side side, words::Language language) {
    return say(language, side == gridlayout::Side::A ? "A (고객)" : "B (기준)");
}

std::string CountsText(const Counts& c, words::Language language) {
    const std::pair<size_t, std::string_view> parts[] = {
        {c.tablesOnlyInA, "A (고객)에만 있는 테이블 %1"}, {c.tablesOnlyInB, "B (기준)에만 있는 테이블 %1"},
        {c.fieldsOnlyInA, "A (고객)에만 있는 필드 %1"},   {c.fieldsOnlyInB, "B (기준)에만 있는 필드 %1"},
        {c.settings, "설정이 다른 필드 %1"},              {c.indexes, "인덱스 차이 %1"},
    };
    std::string out;
    for (const auto& [n, text] : parts)
        if (n > 0) out += (out.empty() ? "" : ", ") + count(language, text, n);
    return out;
}

std::string OthersText(const Counts& counts, words::Language language) {
    if (counts.total() == 0) return say(language, "그 밖의 차이 없음");
    return words::Fill(say(language, "그 밖의 차이: %1"), {CountsText(counts, language)});
}

std::vector<std::string> DifferenceLines(const indexdiff::StructureDiff& diff, words::Language language) {
    std::vector<std::string> out;
    auto add = [&](std::string_view korean, const std::string& what) {
        out.push_back(words::Fill(say(language, korean), {what}));
    };
    for (const auto& t : diff.tablesOnlyInA) add("A (고객)에만 있는 테이블: %1", t);
    for (const auto& t : diff.tablesOnlyInB) add("B (기준)에만 있는 테이블: %1", t);
    for (const auto& f : diff.fieldsOnlyInA) add("A (고객)에만 있는 필드: %1", f.table + "." + f.field);
    for (const auto& f : diff.fieldsOnlyInB) add("B (기준)에만 있는 필드: %1", f.table + "." + f.field);
    for (const auto& s : diff.settings) add("필드 설정: %1", indexdiff::DescribeSettings(s, language));
    for (const auto& d : diff.indexes) add("인덱스: %1", indexdiff::DescribeDifference(d, language));
    return out;
}

std::string VerdictText(int64_t marked, const Counts& others, words::Language language) {
    if (!AnythingDiffers(marked, others)) return say(language, "두 DB는 완전히 같습니다.");
    return words::Fill(say(language, "두 DB는 다릅니다: 표시된 행 %1, 그 밖의 차이 %2"),
                       {std::to_string(marked), std::to_string(others.total())});
}

std::vector<std::string> TablesWithDifferences(const indexdiff::StructureDiff& diff) {
    std::vector<std::string> out;
    auto add = [&out](const std::string& name) {
        for (const auto& t : out)
            if (equalsNoCase(t, name)) return;
        out.push_back(name);
    };
    for (const auto& t : diff.tablesOnlyInA) add(t);
    for (const auto& t : diff.tablesOnlyInB) add(t);
    for (const auto& f : diff.fieldsOnlyInA) add(f.table);
    for (const auto& f : diff.fieldsOnlyInB) add(f.table);
    for (const auto& s : diff.settings) add(s.table);
    for (const auto& d : diff.indexes) add(d.table);
    return out;
}

}  // namespace dex::summary
