#include "Report.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "DifferenceSummary.h"
#include "Version.h"
#include "modCmpDB.h"

namespace dex::report {

using namespace gridlayout;

namespace {

namespace fs = std::filesystem;
using indexdiff::StructureDiff;

constexpr int kMark = kMarkColumn;

// A text of the report in its language (Korean is the source, Words.h).
std::string say(words::Language language, std::string_view korean) {
    return words::Say(language, words::Context::Report, korean);
}

std::string nowText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
    return buf;
}

bool hasField(const std::vector<TableDef>& tables, const std::string& key) {
    for (const auto& t : tables)
        for (const auto& f : t.fields)
            if (equalsNoCase(t.name + "." + f.name, key)) return true;
    return false;
}

bool involves(const std::optional<IndexDef>& index, const std::string& field) {
    if (!index) return false;
    for (const auto& f : index->fields)
        if (equalsNoCase(f, field)) return true;
    return false;
}

std::string yesNo(const std::string& mark, words::Language language) {
    return say(language, mark.empty() ? "아니오" : "예");
}

// A row whose one side is empty: the field is on one side only, or the other
// side has it on another row (the two sides' fields are in another order).
std::string describeFacingEmpty(const std::string& key, bool presentInA, const LoadedStructures* s,
                                words::Language lang) {
    const char* present = presentInA ? "A" : "B";
    const char* other = presentInA ? "B" : "A";
    if (s && s->complete() && !hasField(presentInA ? s->tablesB : s->tablesA, key))
        return words::Fill(say(lang, "%1: %2에만 있음"), {key, present});
    return words::Fill(say(lang, "%1: 맞은편에 필드가 없음 (%2에는 다른 행에 있음: 필드 순서가 다름)"), {key, other});
}

std::string describeRow(const GridRow& row, const LoadedStructures* s, const std::optional<StructureDiff>& diff,
                        words::Language lang) {
    const std::string& keyA = row.cell(Side::A, SideColumn::Key);
    const std::string& keyB = row.cell(Side::B, SideColumn::Key);
    if (keyA.empty() && keyB.empty()) return {};
    if (keyA.empty() || keyB.empty()) return describeFacingEmpty(keyA.empty() ? keyB : keyA, keyB.empty(), s, lang);
    if (!equalsNoCase(keyA, keyB)) return words::Fill(say(lang, "A %1 맞은편에 B %2 (필드 순서가 다름)"), {keyA, keyB});
    std::string out;
    static const std::pair<SideColumn, const char*> marks[] = {
        {SideColumn::PrimaryKey, "기본키"}, {SideColumn::ForeignKey, "외래키"}, {SideColumn::OtherIndex, "인덱스"}};
    for (const auto& [col, name] : marks) {
        const std::string& a = row.cell(Side::A, col);
        const std::string& b = row.cell(Side::B, col);
        if (upperText(a) != upperText(b))
            out += (out.empty() ? "" : "; ") + say(lang, name) + ": A " + yesNo(a, lang) + ", B " + yesNo(b, lang);
    }
    if (diff)
        for (const auto& d : diff->indexes)
            if (equalsNoCase(d.table, row.cell(Side::A, SideColumn::Table)) &&
                (involves(d.a, row.cell(Side::A, SideColumn::Field)) || involves(d.b, row.cell(Side::A, SideColumn::Field))))
                out += (out.empty() ? "" : "; ") + indexdiff::DescribeDifference(d, lang);
    return out;
}

// ---- HTML ----

const char* const kStyle = R"(@page { size: A4; margin: 12mm 10mm; }
body { font-family: "NanumGothic", "Malgun Gothic", "Noto Sans CJK KR", sans-serif; font-size: 10pt; color: #000000; }
h1 { font-size: 15pt; margin: 0 0 6pt 0; }
h2 { font-size: 12pt; margin: 14pt 0 4pt 0; page-break-after: avoid; }
table { border-collapse: collapse; margin-bottom: 6pt; width: 100%; }
th, td { border: 0.5pt solid #666666; padding: 1pt 3pt; vertical-align: top; text-align: left; }
th { background-color: #E8E8E8; }
table.grid { font-size: 7pt; }
table.list { font-size: 8.5pt; }
table.meta th { width: 18%; }
thead { display: table-header-group; }
tr { page-break-inside: avoid; }
td.path { word-break: break-all; }
p.none { font-style: italic; }
@media print { body { -webkit-print-color-adjust: exact; print-color-adjust: exact; } }
)";

void htmlMeta(std::ostream& out, const ReportData& d) {
    const words::Language lang = d.language;
    auto row = [&out](const std::string& head, const std::string& value, const char* cls = nullptr) {
        out << "<tr><th>" << HtmlEscape(head) << "</th><td" << (cls ? std::string(" class=\"") + cls + "\"" : "") << ">"
            << HtmlEscape(value) << "</td></tr>\n";
    };
    out << "<table class=\"meta\">\n";
    row(summary::SideLabel(Side::A, lang), d.requestedA.empty() ? d.pathA : d.requestedA, "path");
    row(summary::SideLabel(Side::B, lang), d.requestedB.empty() ? d.pathB : d.requestedB, "path");
    const std::string copyOf = say(lang, "비교한 %1의 사본");
    if (!d.requestedA.empty() && d.requestedA != d.pathA) row(words::Fill(copyOf, {"A"}), d.pathA, "path");
    if (!d.requestedB.empty() && d.requestedB != d.pathB) row(words::Fill(copyOf, {"B"}), d.pathB, "path");
    row(say(lang, "제품"), d.product.empty() ? say(lang, "(없음: 파일을 있는 그대로 비교함)") : d.product);
    row(say(lang, "날짜"), d.createdAt);
    row(say(lang, "프로그램"), "Dexmira " + d.version);
    out << "</table>\n";
}

// The whole result, before anything else: whether anything differs, the
// grid's message, and every difference the grid does not show.
void htmlResult(std::ostream& out, const ReportData& d) {
    const words::Language lang = d.language;
    out << "<h2>" << HtmlEscape(say(lang, "결과")) << "</h2>\n";
    if (!d.structure) {
        out << "<p class=\"verdict\">" << HtmlEscape(d.resultMessage()) << "</p>\n";
        return;
    }
    const summary::Counts others = summary::CountOf(*d.structure);
    out << "<p class=\"verdict\"><b>" << HtmlEscape(summary::VerdictText(d.count, others, lang)) << "</b></p>\n";
    if (!d.resultMessage().empty()) out << "<p>" << HtmlEscape(d.resultMessage()) << "</p>\n";
    out << "<p>" << HtmlEscape(summary::OthersText(others, lang)) << "</p>\n";
    const auto lines = summary::DifferenceLines(*d.structure, lang);
    if (lines.empty()) return;
    out << "<ul class=\"others\">\n";
    for (const auto& line : lines) out << "<li>" << HtmlEscape(line) << "</li>\n";
    out << "</ul>\n";
}

void htmlCell(std::ostream& out, const GridRow& row, int col) {
    out << "<td";
    if (col == kMark) out << " class=\"mark\"";
    else if (const auto c = row.colorAt(col)) out << " style=\"background-color:" << CssColor(*c) << "\"";
    out << ">" << HtmlEscape(row.at(col)) << "</td>";
}

void htmlGrid(std::ostream& out, const ReportData& d) {
    const words::Language lang = d.language;
    out << "<h2>" << HtmlEscape(words::Fill(say(lang, "표시된 행 (%1)"), {std::to_string(d.count)})) << "</h2>\n";
    if (d.count == 0) {
        out << "<p class=\"none\">" << HtmlEscape(say(lang, "표시된 행이 없습니다.")) << "</p>\n";
        return;
    }
    out << "<table class=\"grid\">\n<thead>\n<tr><th rowspan=\"2\">#</th><th colspan=\"10\">A</th><th rowspan=\"2\">"
        << HtmlEscape(say(lang, kMarkLabel)) << "</th><th colspan=\"10\">B</th><th rowspan=\"2\">"
        << HtmlEscape(say(lang, "차이")) << "</th></tr>\n<tr>";
    // Each side's columns but the hidden key.
    for (int side = 0; side < 2; ++side)
        for (const auto& spec : kSideColumnSpecs)
            if (spec.column != SideColumn::Key) out << "<th>" << HtmlEscape(say(lang, spec.label)) << "</th>";
    out << "</tr>\n</thead>\n<tbody>\n";
    for (const auto& row : d.rows) {
        if (!row.marked()) continue;
        out << "<tr><td>" << row.row << "</td>";
        for (int c = FirstColumn(Side::A); c < LastColumn(Side::A); ++c) htmlCell(out, row, c);
        htmlCell(out, row, kMark);
        for (int c = FirstColumn(Side::B); c < LastColumn(Side::B); ++c) htmlCell(out, row, c);
        out << "<td>" << HtmlEscape(row.difference) << "</td></tr>\n";
    }
    out << "</tbody>\n</table>\n";
}

std::string indexCell(const std::optional<IndexDef>& index, words::Language lang) {
    return index ? indexdiff::DescribeIndex(*index, lang) : std::string("-");
}

std::string changeText(const indexdiff::IndexDifference& d, words::Language lang) {
    switch (d.change) {
        case indexdiff::Change::OnlyInA: return say(lang, "A에만 있음");
        case indexdiff::Change::OnlyInB: return say(lang, "B에만 있음");
        case indexdiff::Change::Renamed: return say(lang, "정의가 같고 이름이 다름");
        case indexdiff::Change::Redefined:
            return words::Fill(say(lang, "이름이 같고 정의가 다름: %1"), {indexdiff::DescribeParts(d.parts, lang)});
    }
    return {};
}

void htmlTablesOnOneSide(std::ostream& out, const StructureDiff& s, words::Language lang) {
    for (const auto* side : {"A", "B"}) {
        const auto& names = side[0] == 'A' ? s.tablesOnlyInA : s.tablesOnlyInB;
        if (names.empty()) continue;
        out << "<p>" << HtmlEscape(words::Fill(say(lang, "%1에만 있는 테이블: "), {side}));
        for (size_t i = 0; i < names.size(); ++i) out << (i ? ", " : "") << HtmlEscape(names[i]);
        out << "</p>\n";
    }
}

void htmlStructure(std::ostream& out, const ReportData& d) {
    const words::Language lang = d.language;
    auto text = [lang](std::string_view korean) { return HtmlEscape(say(lang, korean)); };
    out << "<h2>" << text("키와 인덱스") << "</h2>\n";
    if (!d.structure) {
        out << "<p class=\"none\">" << text("이번 비교에서는 구조를 보관하지 않았습니다.") << "</p>\n";
        return;
    }
    const StructureDiff& s = *d.structure;
    htmlTablesOnOneSide(out, s, lang);
    if (s.indexes.empty()) {
        out << "<p class=\"none\">" << text("양쪽 테이블의 키와 인덱스가 같습니다.") << "</p>\n";
    } else {
        out << "<table class=\"list\">\n<thead><tr><th>" << text("테이블") << "</th><th>" << text("차이")
            << "</th><th>A</th><th>B</th></tr></thead>\n<tbody>\n";
        for (const auto& x : s.indexes)
            out << "<tr><td>" << HtmlEscape(x.table) << "</td><td>" << HtmlEscape(changeText(x, lang)) << "</td><td>"
                << HtmlEscape(indexCell(x.a, lang)) << "</td><td>" << HtmlEscape(indexCell(x.b, lang)) << "</td></tr>\n";
        out << "</tbody>\n</table>\n";
    }
    out << "<h2>" << text("필드 설정") << "</h2>\n";
    if (s.settings.empty()) {
        out << "<p class=\"none\">" << text("양쪽 필드의 설정이 같습니다.") << "</p>\n";
        return;
    }
    out << "<table class=\"list\">\n<thead><tr><th>" << text("필드") << "</th><th>" << text("차이점")
        << "</th></tr></thead>\n<tbody>\n";
    for (const auto& x : s.settings) {
        std::string text = indexdiff::DescribeSettings(x, lang);
        text = text.substr(text.find(": ") + 2);
        out << "<tr><td>" << HtmlEscape(x.table + "." + x.field) << "</td><td>" << HtmlEscape(text) << "</td></tr>\n";
    }
    out << "</tbody>\n</table>\n";
}

// ---- JSON ----

void jsonNames(std::ostream& out, const std::vector<std::string>& names) {
    out << "[";
    for (size_t i = 0; i < names.size(); ++i) out << (i ? "," : "") << JsonString(names[i]);
    out << "]";
}

void jsonIndex(std::ostream& out, const std::optional<IndexDef>& ix) {
    if (!ix) {
        out << "null";
        return;
    }
    auto flag = [](bool b) { return b ? "true" : "false"; };
    out << "{\"name\":" << JsonString(ix->name) << ",\"primary\":" << flag(ix->primary) << ",\"foreign\":"
        << flag(ix->foreign) << ",\"unique\":" << flag(ix->unique) << ",\"fields\":";
    jsonNames(out, ix->fields);
    out << ",\"referencedTable\":" << JsonString(ix->referencedTable) << ",\"referencedFields\":";
    jsonNames(out, ix->referencedFields);
    out << "}";
}

void jsonField(std::ostream& out, const FieldDef& f) {
    out << "{\"type\":" << JsonString(modCmpDB::TypeName(f.type)) << ",\"size\":" << f.size
        << ",\"default\":" << JsonString(f.defaultValue) << ",\"required\":" << (f.required ? "true" : "false")
        << ",\"zeroLength\":" << (f.allowZeroLength ? "true" : "false") << "}";
}

void jsonStructure(std::ostream& out, const ReportData& d) {
    out << ",\"product\":" << JsonString(d.product) << ",\"created\":" << JsonString(d.createdAt)
        << ",\"version\":" << JsonString(d.version);
    if (!d.structure) {
        out << ",\"indexes\":null,\"settings\":null";
        return;
    }
    const StructureDiff& s = *d.structure;
    out << ",\"indexes\":{\"tablesOnlyInA\":";
    jsonNames(out, s.tablesOnlyInA);
    out << ",\"tablesOnlyInB\":";
    jsonNames(out, s.tablesOnlyInB);
    out << ",\"differences\":[";
    for (size_t i = 0; i < s.indexes.size(); ++i) {
        const auto& x = s.indexes[i];
        out << (i ? "," : "") << "{\"table\":" << JsonString(x.table) << ",\"change\":"
            << JsonString(indexdiff::ChangeName(x.change)) << ",\"differs\":";
        jsonNames(out, indexdiff::PartNames(x.parts));
        out << ",\"description\":" << JsonString(indexdiff::DescribeDifference(x)) << ",\"a\":";
        jsonIndex(out, x.a);
        out << ",\"b\":";
        jsonIndex(out, x.b);
        out << "}";
    }
    out << "]},\"settings\":[";
    for (size_t i = 0; i < s.settings.size(); ++i) {
        const auto& x = s.settings[i];
        out << (i ? "," : "") << "{\"table\":" << JsonString(x.table) << ",\"field\":" << JsonString(x.field)
            << ",\"differs\":";
        jsonNames(out, x.settings);
        out << ",\"description\":" << JsonString(indexdiff::DescribeSettings(x)) << ",\"a\":";
        jsonField(out, x.a);
        out << ",\"b\":";
        jsonField(out, x.b);
        out << "}";
    }
    out << "]";
    // Fields of a table both sides have, present on one side only (table.field).
    for (const auto* side : {&s.fieldsOnlyInA, &s.fieldsOnlyInB}) {
        std::vector<std::string> keys;
        for (const auto& f : *side) keys.push_back(f.table + "." + f.field);
        out << (side == &s.fieldsOnlyInA ? ",\"fieldsOnlyInA\":" : ",\"fieldsOnlyInB\":");
        jsonNames(out, keys);
    }
}

// Six letters or digits, for a name nobody can guess in advance.
std::string randomSuffix() {
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::string out;
    for (int i = 0; i < 6; ++i) out += kChars[random() % (sizeof kChars - 1)];
    return out;
}

std::string lowerExtension(const std::string& path) {
    std::string ext = fs::u8path(path).extension().string();
    for (auto& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return ext;
}

}  // namespace

ReportData MakeReportData(const Grid& grid, const LoadedStructures* structures, std::vector<Message> messages,
                          words::Language language) {
    ReportData d;
    d.language = language;
    d.pathA = GridPath(grid, Side::A);
    d.pathB = GridPath(grid, Side::B);
    d.createdAt = nowText();
    d.version = DEXMIRA_VERSION_TEXT;
    d.activeColumn = grid.activeColumn();
    d.activeRow = grid.activeRow();
    d.messages = std::move(messages);
    if (structures && structures->complete())
        d.structure = indexdiff::CompareStructures(structures->tablesA, structures->tablesB);
    for (int r = 1; r <= grid.rowCount(); ++r) {
        GridRow row = TakeGridRow(grid, r);
        if (row.marked()) {
            ++d.count;
            row.difference = describeRow(row, structures, d.structure, language);
        }
        d.rows.push_back(std::move(row));
    }
    return d;
}

std::string HtmlReport(const ReportData& d) {
    std::ostringstream out;
    out << "<!DOCTYPE html>\n<html lang=\"" << words::Code(d.language) << "\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
        << HtmlEscape(words::Fill(say(d.language, "Dexmira 구조 비교 %1"), {d.createdAt})) << "</title>\n<style>\n"
        << kStyle << "td.mark { background-color: " << CssColor(kMarkBack) << "; color: " << CssColor(kMarkFore)
        << "; text-align: center; font-weight: bold; }\n</style>\n</head>\n<body>\n<h1>"
        << HtmlEscape(say(d.language, "구조 비교")) << "</h1>\n";
    htmlResult(out, d);
    htmlMeta(out, d);
    htmlGrid(out, d);
    htmlStructure(out, d);
    out << "</body>\n</html>\n";
    return out.str();
}

std::string CsvReport(const ReportData& d) {
    std::string out = "\xEF\xBB\xBF";
    // The result first: whether anything differs and every difference the
    // marked rows below do not show; then an empty line and the rows.
    const std::string result = say(d.language, "결과");
    if (d.structure) {
        const summary::Counts others = summary::CountOf(*d.structure);
        out += CsvField(result) + "," + CsvField(summary::VerdictText(d.count, others, d.language)) + "\r\n";
        for (const auto& line : summary::DifferenceLines(*d.structure, d.language))
            out += CsvField(result) + "," + CsvField(line) + "\r\n";
    } else {
        out += CsvField(result) + "," + CsvField(d.resultMessage()) + "\r\n";
    }
    out += "\r\n";
    for (int c = 1; c <= kColumns; ++c) {
        const auto side = SideOf(c);
        const std::string label =
            !side ? say(d.language, kMarkLabel)
                  : (*side == Side::A ? "A " : "B ") +
                        say(d.language, kSideColumnSpecs[static_cast<size_t>(SideColumnOf(c)) - 1].label);
        out += CsvField(label) + ",";
    }
    out += CsvField(say(d.language, "차이")) + "\r\n";
    for (const auto& row : d.rows) {
        if (!row.marked()) continue;
        for (const auto& cell : row.cells) out += CsvField(cell) + ",";
        out += CsvField(row.difference) + "\r\n";
    }
    return out;
}

void WriteCompareJson(std::ostream& out, const ReportData& d, bool withStructure) {
    out << "{";
    if (withStructure && d.structure) {
        // The report's result first, as the HTML page states it.
        const summary::Counts others = summary::CountOf(*d.structure);
        out << "\"result\":{\"verdict\":" << JsonString(summary::VerdictText(d.count, others, words::Language::English))
            << ",\"message\":" << JsonString(d.resultMessage()) << ",\"differences\":";
        jsonNames(out, summary::DifferenceLines(*d.structure, words::Language::English));
        out << "},";
    }
    out << "\"paths\":{\"A\":" << JsonString(d.pathA) << ",\"B\":" << JsonString(d.pathB) << "},";
    // The user's files, when the paths are the copies compared.
    if (!d.requestedA.empty() || !d.requestedB.empty())
        out << "\"files\":{\"A\":" << JsonString(d.requestedA) << ",\"B\":" << JsonString(d.requestedB) << "},";
    out << "\"rows\":[";
    for (size_t i = 0; i < d.rows.size(); ++i) {
        const GridRow& row = d.rows[i];
        out << (i ? "," : "") << "{\"row\":" << row.row << ",\"hidden\":" << (row.hidden ? "true" : "false")
            << ",\"cells\":";
        jsonNames(out, row.cells);
        out << ",\"colors\":{";
        bool first = true;
        for (size_t c = 0; c < row.colors.size(); ++c)
            if (row.colors[c]) {
                out << (first ? "" : ",") << "\"" << c + 1 << "\":" << JsonString(VbColor(*row.colors[c]));
                first = false;
            }
        out << "}}";
    }
    out << "],\"count\":" << d.count << ",\"active\":{\"column\":" << d.activeColumn << ",\"row\":" << d.activeRow
        << "},\"messages\":[";
    for (size_t i = 0; i < d.messages.size(); ++i) {
        const Message& m = d.messages[i];
        out << (i ? "," : "") << "{\"title\":" << JsonString(m.title) << ",\"text\":" << JsonString(m.text)
            << ",\"icon\":" << JsonString(IconName(m.icon)) << "}";
    }
    out << "]";
    if (d.structure) {
        const summary::Counts c = summary::CountOf(*d.structure);
        out << ",\"otherDifferences\":{\"tablesOnlyInA\":" << c.tablesOnlyInA << ",\"tablesOnlyInB\":" << c.tablesOnlyInB
            << ",\"fieldsOnlyInA\":" << c.fieldsOnlyInA << ",\"fieldsOnlyInB\":" << c.fieldsOnlyInB
            << ",\"fieldSettings\":" << c.settings << ",\"indexDetails\":" << c.indexes << ",\"total\":" << c.total()
            << "},\"differs\":" << (summary::AnythingDiffers(d.count, c) ? "true" : "false");
    }
    if (withStructure) jsonStructure(out, d);
    out << "}";
}

bool IsReportPath(const std::string& path) {
    const std::string ext = lowerExtension(path);
    return ext == ".html" || ext == ".htm" || ext == ".csv" || ext == ".json";
}

void WriteReport(const std::string& path, const ReportData& data) {
    const std::string ext = lowerExtension(path);
    std::string text;
    if (ext == ".html" || ext == ".htm") {
        text = HtmlReport(data);
    } else if (ext == ".csv") {
        text = CsvReport(data);
    } else if (ext == ".json") {
        std::ostringstream out;
        WriteCompareJson(out, data, true);
        text = out.str() + "\n";
    } else {
        throw std::runtime_error("The report '" + path + "' must end in .html, .csv or .json.");
    }
    WriteWholeFile(path, text, "The report");
}

void WriteWholeFile(const std::string& path, const std::string& text, const std::string& what) {
    const auto fail = [&](int error) {
        throw std::runtime_error(what + " '" + path + "' could not be written (" + std::strerror(error) + ").");
    };
    // The text goes to a name made here, never one that is already there (a
    // link planted beside the file is not followed), and replaces path only
    // once it is all on the disk.
    std::string part;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        part = path + ".part-" + randomSuffix();
        fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt == 99)) fail(errno);
    }
    int error = 0;
    for (size_t done = 0; done < text.size() && !error;) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0) done += static_cast<size_t>(n);
        else if (n < 0 && errno != EINTR) error = errno;
    }
    if (!error && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && ::rename(part.c_str(), path.c_str()) != 0) error = errno;
    if (!error) return;
    ::unlink(part.c_str());
    fail(error);
}

}  // namespace dex::report
