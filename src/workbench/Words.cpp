#include "Words.h"

#include <cstdlib>
#include <span>
#include <vector>

namespace dex::words {

namespace {

struct Phrase {
    std::string_view korean, english;
};

// The report's words (Report.cpp): the HTML page and the CSV.
constexpr Phrase kReport[] = {
    {"%1: %2에만 있음", "%1 only in %2"},
    {"%1: 맞은편에 필드가 없음 (%2에는 다른 행에 있음: 필드 순서가 다름)",
     "%1 faces no field: %2 has it on another row (the fields' order differs)"},
    {"A %1 맞은편에 B %2 (필드 순서가 다름)", "A %1 faces B %2 (the fields' order differs)"},
    {"기본키", "primary key"},
    {"외래키", "foreign key"},
    {"인덱스", "index"},
    {"예", "yes"},
    {"아니오", "no"},
    {"비교한 %1의 사본", "Compared copy of %1"},
    {"제품", "Product"},
    {"(없음: 파일을 있는 그대로 비교함)", "(none: the files were compared as they are)"},
    {"날짜", "Date"},
    {"프로그램", "Program"},
    {"결과", "Result"},
    {"표시된 행 (%1)", "Marked rows (%1)"},
    {"표시된 행이 없습니다.", "No row is marked."},
    {"비교", "Diff"},
    {"차이", "Difference"},
    {"테이블명", "Table"},
    {"필드명", "Field"},
    {"A에만 있음", "only in A"},
    {"B에만 있음", "only in B"},
    {"정의가 같고 이름이 다름", "same definition, another name"},
    {"이름이 같고 정의가 다름: %1", "same name, another definition: %1"},
    {"%1에만 있는 테이블: ", "Tables only in %1: "},
    {"키와 인덱스", "Keys and indexes"},
    {"이번 비교에서는 구조를 보관하지 않았습니다.", "The structures were not kept for this run."},
    {"양쪽 테이블의 키와 인덱스가 같습니다.", "The tables on both sides have the same keys and indexes."},
    {"테이블", "Table"},
    {"필드 설정", "Field settings"},
    {"양쪽 필드의 설정이 같습니다.", "The fields on both sides have the same settings."},
    {"필드", "Field"},
    {"차이점", "Differences"},
    {"Dexmira 구조 비교 %1", "Dexmira structure comparison %1"},
    {"구조 비교", "Structure comparison"},
};

// The descriptions of index and setting differences (IndexDiff.cpp).
constexpr Phrase kIndexes[] = {
    {"기본키", "primary key"},
    {"외래키", "foreign key"},
    {"인덱스", "index"},
    {"고유 %1", "unique %1"},
    {" → %1 (%2)", " references %1 (%2)"},
    {"필드", "fields"},
    {"필드 순서", "field order"},
    {"고유", "unique"},
    {"기본키 여부", "primary"},
    {"외래키 여부", "foreign"},
    {"참조 테이블", "referenced table"},
    {"참조 필드", "referenced fields"},
    {"%1: A에만 있는 %2", "%1: %2 only in A"},
    {"%1: B에만 있는 %2", "%1: %2 only in B"},
    {"%1: A의 %2, B에서의 이름은 %3", "%1: %2 in A is named %3 in B"},
    {"%1: %2의 %3 다름: A %4, B %5", "%1: %2 differs in %3: A %4, B %5"},
    {"형식", "type"},
    {"크기", "size"},
    {"기본값", "default"},
    {"필수", "required"},
    {"빈 문자열", "zero-length"},
    {"(없음)", "(none)"},
    {"예", "yes"},
    {"아니오", "no"},
};

// The details box of a table and the marks' tool tips (TableDetails.cpp).
constexpr Phrase kDetails[] = {
    {"이름", "Name"},
    {"종류", "Kind"},
    {"고유", "Unique"},
    {"필드", "Fields"},
    {"참조", "References"},
    {"필드명", "Field"},
    {"형식", "Type"},
    {"크기", "Size"},
    {"기본값", "Default"},
    {"필수", "Required"},
    {"빈 문자열", "Zero length"},
    {"비교", "Diff"},
    {"필드 순서", "Field order"},
    {"참조 테이블", "Referenced table"},
    {"참조 필드", "Referenced fields"},
    {"A에만", "Only in A"},
    {"B에만", "Only in B"},
    {"이름 다름", "Renamed"},
    {"다름: %1", "Differs: %1"},
    {"예", "Yes"},
    {"아니오", "No"},
    {"기본키", "Primary key"},
    {"외래키", "Foreign key"},
    {"인덱스", "Index"},
};

// The summary of every difference (DifferenceSummary.cpp): the window's
// status line, the command line, the survey and the reports' Result.
constexpr Phrase kSummary[] = {
    {"A (고객)", "A (customer)"},
    {"B (기준)", "B (reference)"},
    {"A (고객)에만 있는 테이블 %1", "%1 tables only in A (customer)"},
    {"B (기준)에만 있는 테이블 %1", "%1 tables only in B (reference)"},
    {"A (고객)에만 있는 필드 %1", "%1 fields only in A (customer)"},
    {"B (기준)에만 있는 필드 %1", "%1 fields only in B (reference)"},
    {"설정이 다른 필드 %1", "%1 fields with other settings"},
    {"인덱스 차이 %1", "%1 index differences"},
    {"A (고객)에만 있는 테이블: %1", "table only in A (customer): %1"},
    {"B (기준)에만 있는 테이블: %1", "table only in B (reference): %1"},
    {"A (고객)에만 있는 필드: %1", "field only in A (customer): %1"},
    {"B (기준)에만 있는 필드: %1", "field only in B (reference): %1"},
    {"필드 설정: %1", "field settings: %1"},
    {"인덱스: %1", "index: %1"},
    {"두 DB는 다릅니다: 표시된 행 %1, 그 밖의 차이 %2", "The databases differ: %1 marked rows, %2 other differences"},
    {"두 DB는 완전히 같습니다.", "The databases do not differ at all."},
    {"그 밖의 차이 없음", "no other difference"},
    {"그 밖의 차이: %1", "other differences: %1"},
};

std::span<const Phrase> phrasesOf(Context context) {
    switch (context) {
        case Context::Report: return kReport;
        case Context::Indexes: return kIndexes;
        case Context::Details: return kDetails;
        case Context::Summary: return kSummary;
    }
    return {};
}

// "ko_KR.UTF-8" -> "ko", "en" -> "en", "C.UTF-8" -> "C".
std::string_view languagePart(std::string_view entry) {
    return entry.substr(0, entry.find_first_of("_.@"));
}

std::vector<std::string_view> splitList(std::string_view list) {
    std::vector<std::string_view> out;
    while (!list.empty()) {
        const size_t colon = list.find(':');
        if (colon != 0) out.push_back(list.substr(0, colon));
        if (colon == std::string_view::npos) break;
        list.remove_prefix(colon + 1);
    }
    return out;
}

}  // namespace

Language LanguageOf(const std::function<std::string(const char*)>& environment) {
    std::string locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = environment(name);
        if (!locale.empty()) break;
    }
    const std::string_view language = languagePart(locale);
    if (language.empty() || language == "C" || language == "POSIX") return Language::Korean;
    const std::string preferences = environment("LANGUAGE");
    std::vector<std::string_view> entries = splitList(preferences);
    entries.push_back(locale);
    for (std::string_view entry : entries) {
        const std::string_view code = languagePart(entry);
        if (code == "ko") return Language::Korean;
        if (code == "en") return Language::English;
    }
    return Language::Korean;
}

Language DesktopLanguage() {
    return LanguageOf([](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    });
}

const char* Code(Language language) { return language == Language::English ? "en" : "ko"; }

std::string Say(Language language, Context context, std::string_view korean) {
    if (language == Language::English)
        for (const Phrase& p : phrasesOf(context))
            if (p.korean == korean) return std::string(p.english);
    return std::string(korean);
}

std::string Fill(std::string_view text, std::initializer_list<std::string_view> values) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const size_t n = static_cast<size_t>(text[i + 1] - '1');
            if (n < values.size()) {
                out += values.begin()[n];
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

}  // namespace dex::words
