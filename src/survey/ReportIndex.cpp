#include "ReportIndex.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "DisplayText.h"
#include "NameText.h"
#include "Report.h"
#include "Version.h"

namespace dex::survey {

namespace fs = std::filesystem;

namespace {

std::string nowText() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

}  // namespace

bool UseReportFolder(std::string dir, std::ostream& err) {
    if (dir.empty()) {
        err << "the report folder must be named: --report DIR\n";
        return false;
    }
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    struct stat st {};
    if (::lstat(dir.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            err << "the report folder '" << dir << "' is a symbolic link; give a real folder\n";
            return false;
        }
        if (!S_ISDIR(st.st_mode)) {
            err << "the report folder '" << dir << "' is not a folder\n";
            return false;
        }
        return true;
    }
    std::error_code ec;
    fs::create_directories(fs::u8path(dir), ec);
    if (ec) {
        err << "the report folder '" << dir << "' cannot be made (" << ec.message() << ")\n";
        return false;
    }
    return true;
}

std::string ReportFileName(size_t ordinal, size_t total, const std::string& path) {
    std::string digits = std::to_string(ordinal);
    const size_t width = std::max<size_t>(4, std::to_string(total).size());
    digits.insert(0, width - std::min(width, digits.size()), '0');
    // The parent folder's name first: customers' databases are often all
    // called dbMain.mdb, each in a folder named after the customer.
    const fs::path given(path);
    const std::string parent = given.has_parent_path() ? given.parent_path().filename().string() : std::string();
    const std::string file = given.filename().string();
    const std::string base = parent.empty() || parent == "." || parent == ".." || parent == "/" ? file : parent + "_" + file;
    std::string safe;
    constexpr size_t kMaxBytes = 120;
    for (size_t i = 0; i < base.size() && safe.size() < kMaxBytes;) {
        const auto c = static_cast<unsigned char>(base[i]);
        if (c < 0x80) {
            safe += std::isalnum(c) || c == '.' || c == '-' || c == '_' ? static_cast<char>(c) : '_';
            ++i;
            continue;
        }
        const size_t len = Utf8SequenceLength(base, i);
        if (len == 0) {
            safe += '_';
            ++i;
            continue;
        }
        if (safe.size() + len > kMaxBytes) break;
        safe.append(base, i, len);
        i += len;
    }
    if (safe.empty()) safe = "database";
    return digits + "-" + safe + ".html";
}

std::string UrlPath(const std::string& name) { return percentEncoded(name); }

bool WriteIndex(const std::string& reportDir, const IndexHeading& heading, const std::vector<Row>& rows,
                std::ostream& err) {
    using report::HtmlEscape;
    std::ostringstream h;
    h << "<!DOCTYPE html>\n<html lang=\"ko\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
      << HtmlEscape("Dexmira survey " + nowText()) << "</title>\n<style>\n"
      << "body { font-family: sans-serif; font-size: 10pt; margin: 1.5em; }\n"
      << "table { border-collapse: collapse; }\n"
      << "th, td { border: 1px solid #999; padding: 2px 6px; text-align: left; vertical-align: top; }\n"
      << "td.n { text-align: right; }\n.failed { color: #B00000; }\n"
      << "@media print { @page { size: A4; margin: 12mm; } }\n"
      << "</style>\n</head>\n<body>\n<h1>Survey</h1>\n<table>\n"
      << "<tr><th>Reference (B)</th><td>" << HtmlEscape(heading.reference) << "</td></tr>\n"
      << "<tr><th>Product</th><td>" << HtmlEscape(heading.product) << "</td></tr>\n"
      << "<tr><th>Date</th><td>" << HtmlEscape(nowText()) << "</td></tr>\n"
      << "<tr><th>Program</th><td>" << HtmlEscape(std::string("Dexmira ") + DEXMIRA_VERSION_TEXT) << "</td></tr>\n"
      << "<tr><th>Result</th><td>" << HtmlEscape(TotalsText(rows)) << "</td></tr>\n</table>\n"
      << "<h2>Databases</h2>\n<table>\n<thead><tr><th>#</th><th>Database (A, customer)</th><th>Stored version</th>"
      << "<th>Marked rows</th><th>Other differences</th><th>Status</th></tr></thead>\n<tbody>\n";
    for (const auto& row : rows) {
        const Row* r = &row;
        h << "<tr><td class=\"n\">" << r->ordinal << "</td><td>";
        if (r->report.empty()) h << HtmlEscape(r->file);
        else h << "<a href=\"" << HtmlEscape(UrlPath(r->report)) << "\">" << HtmlEscape(r->file) << "</a>";
        h << "</td><td class=\"n\">" << HtmlEscape(NumberText(r->version)) << "</td><td class=\"n\">"
          << HtmlEscape(NumberText(r->marked)) << "</td><td class=\"n\">" << HtmlEscape(NumberText(r->others))
          << "</td><td" << (r->status == Status::Failed ? " class=\"failed\"" : "")
          << ">" << HtmlEscape(StatusText(*r)) << "</td></tr>\n";
    }
    h << "</tbody>\n</table>\n</body>\n</html>\n";
    try {
        report::WriteWholeFile((fs::u8path(reportDir) / "index.html").string(), h.str(), "The survey's index");
        return true;
    } catch (const std::exception& e) {
        err << e.what() << "\n";
        return false;
    }
}

}  // namespace dex::survey
