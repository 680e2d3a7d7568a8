#pragma once
// Every difference a comparison knows, beside the grid's marked rows: tables
// and fields present on one side only, fields whose settings differ, and
// the index-level differences. The grid leaves the first three out by
// design; the window's status line, the command line, the survey and the
// reports state them all here, so that no known difference is hidden, and
// a pair of databases counts as the same only when nothing at all differs.
// A is the customer's database, B the reference.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "GridLayout.h"
#include "IndexDiff.h"
#include "Words.h"

namespace dex::summary {

struct Counts {
    size_t tablesOnlyInA = 0, tablesOnlyInB = 0;
    size_t fieldsOnlyInA = 0, fieldsOnlyInB = 0;
    size_t settings = 0, indexes = 0;
    size_t total() const { return tablesOnlyInA + tablesOnlyInB + fieldsOnlyInA + fieldsOnlyInB + settings + indexes; }
};

Counts CountOf(const indexdiff::StructureDiff& diff);

// Whether anything at all differs.
inline bool AnythingDiffers(int64_t marked, const Counts& others) { return marked > 0 || others.total() > 0; }

// "A (고객)" / "B (기준)" in language.
std::string SideLabel(gridlayout::Side side, words::Language language);

// The non-zero counts, joined: "A (고객)에만 있는 테이블 1, 설정이 다른 필드 3";
// "" when there is none.
std::string CountsText(const Counts& counts, words::Language language);

// "그 밖의 차이: ..." or "그 밖의 차이 없음".
std::string OthersText(const Counts& counts, words::Language language);

// One line per difference, in the order of the counts.
std::vector<std::string> DifferenceLines(const indexdiff::StructureDiff& diff, words::Language language);

// "두 DB는 다릅니다: 표시된 행 N, 그 밖의 차이 M" or "두 DB는 완전히 같습니다.".
std::string VerdictText(int64_t marked, const Counts& others, words::Language language);

// The tables with any difference other than a marked row, first the
// one-sided tables, then those with one-sided fields, settings or index
// differences, each once (letter case ignored), as its side names it.
std::vector<std::string> TablesWithDifferences(const indexdiff::StructureDiff& diff);

}  // namespace dex::summary
