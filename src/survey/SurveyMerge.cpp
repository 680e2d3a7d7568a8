#include "SurveyMerge.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>

#include "Report.h"
#include "ReportIndex.h"

namespace dex::survey {

namespace fs = std::filesystem;

namespace {

// The part of JSON a summary uses: objects, arrays, strings, whole numbers,
// true, false and null.
struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    bool boolean = false;
    long number = 0;
    std::string text;
    std::vector<Json> items;
    std::vector<std::pair<std::string, Json>> members;

    const Json* get(const std::string& key) const {
        for (const auto& [k, v] : members)
            if (k == key) return &v;
        return nullptr;
    }
};

class Parser {
public:
    explicit Parser(const std::string& s) : s_(s) {}
    Json document() {
        Json v = value();
        space();
        if (i_ != s_.size()) fail("text after the document");
        return v;
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        throw std::runtime_error("not a survey summary (" + what + " at byte " + std::to_string(i_) + ")");
    }
    void space() {
        while (i_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[i_]))) ++i_;
    }
    bool take(char c) {
        space();
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    void expect(char c) {
        if (!take(c)) fail(std::string("'") + c + "' expected");
    }
    bool word(const char* w) {
        const size_t n = std::char_traits<char>::length(w);
        if (s_.compare(i_, n, w) != 0) return false;
        i_ += n;
        return true;
    }
    Json value() {
        if (++depth_ > 16) fail("too deep");
        space();
        Json v;
        if (i_ >= s_.size()) fail("end of text");
        const char c = s_[i_];
        if (c == '{') {
            ++i_;
            v.kind = Json::Object;
            if (!take('}')) {
                do {
                    space();
                    std::string key = string();
                    expect(':');
                    v.members.emplace_back(std::move(key), value());
                } while (take(','));
                expect('}');
            }
        } else if (c == '[') {
            ++i_;
            v.kind = Json::Array;
            if (!take(']')) {
                do v.items.push_back(value());
                while (take(','));
                expect(']');
            }
        } else if (c == '"') {
            v.kind = Json::String;
            v.text = string();
        } else if (word("true") || word("false")) {
            v.kind = Json::Bool;
            v.boolean = s_[i_ - 1] == 'e' && s_[i_ - 2] == 'u';
        } else if (word("null")) {
            v.kind = Json::Null;
        } else if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
            const size_t start = i_;
            if (c == '-') ++i_;
            while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) ++i_;
            v.kind = Json::Number;
            try {
                v.number = std::stol(s_.substr(start, i_ - start));
            } catch (const std::exception&) {
                fail("a number out of range");
            }
        } else {
            fail("a value expected");
        }
        --depth_;
        return v;
    }
    std::string string() {
        if (i_ >= s_.size() || s_[i_] != '"') fail("a string expected");
        ++i_;
        std::string out;
        while (i_ < s_.size() && s_[i_] != '"') {
            char c = s_[i_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i_ >= s_.size()) fail("end of text");
            c = s_[i_++];
            switch (c) {
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'u': {
                    if (i_ + 4 > s_.size()) fail("a short \\u escape");
                    const unsigned code = static_cast<unsigned>(std::stoul(s_.substr(i_, 4), nullptr, 16));
                    i_ += 4;
                    if (code < 0x80) {
                        out += static_cast<char>(code);
                    } else if (code < 0x800) {
                        out += static_cast<char>(0xC0 | (code >> 6));
                        out += static_cast<char>(0x80 | (code & 0x3F));
                    } else {
                        out += static_cast<char>(0xE0 | (code >> 12));
                        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                        out += static_cast<char>(0x80 | (code & 0x3F));
                    }
                    break;
                }
                default: out += c;
            }
        }
        if (i_ >= s_.size()) fail("an unterminated string");
        ++i_;
        return out;
    }

    const std::string& s_;
    size_t i_ = 0;
    int depth_ = 0;
};

std::optional<long> numberOf(const Json* v) {
    if (v && v->kind == Json::Number) return v->number;
    return std::nullopt;
}

std::string textOf(const Json* v) { return v && v->kind == Json::String ? v->text : std::string(); }

std::string readWhole(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) throw std::runtime_error("cannot be read");
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string number(const std::optional<long>& v) { return v ? std::to_string(*v) : std::string("null"); }

}  // namespace

std::string SummaryJson(const Summary& s, const std::optional<std::string>& shard, bool interrupted) {
    using report::JsonString;
    std::ostringstream out;
    out << "{\"reference\":" << JsonString(s.reference) << ",\"referenceVersion\":" << number(s.referenceVersion)
        << ",\"product\":" << JsonString(s.product) << ",\"shard\":" << (shard ? JsonString(*shard) : "null")
        << ",\"databases\":[";
    for (size_t i = 0; i < s.rows.size(); ++i) {
        const Row& r = s.rows[i];
        out << (i ? ",\n" : "\n") << "{\"ordinal\":" << r.ordinal << ",\"file\":" << JsonString(r.file)
            << ",\"version\":" << number(r.version) << ",\"marked\":" << number(r.marked)
            << ",\"others\":" << number(r.others) << ",\"status\":" << JsonString(StatusName(r.status))
            << ",\"error\":" << (r.status == Status::Failed ? JsonString(r.error) : "null")
            << ",\"report\":" << (r.report.empty() ? "null" : JsonString(r.report)) << "}";
    }
    out << "],\n\"differ\":" << CountRows(s.rows, Status::Differs) << ",\"same\":" << CountRows(s.rows, Status::Same)
        << ",\"failed\":" << CountRows(s.rows, Status::Failed) << ",\"interrupted\":" << (interrupted ? "true" : "false")
        << "}\n";
    return out.str();
}

Summary ParseSummaryJson(const std::string& text) {
    const Json doc = Parser(text).document();
    const Json* dbs = doc.get("databases");
    if (doc.kind != Json::Object || !dbs || dbs->kind != Json::Array || !doc.get("reference"))
        throw std::runtime_error("not a survey summary (no \"reference\" and \"databases\")");
    Summary s;
    s.reference = textOf(doc.get("reference"));
    s.product = textOf(doc.get("product"));
    s.referenceVersion = numberOf(doc.get("referenceVersion"));
    for (const Json& d : dbs->items) {
        Row r;
        const auto ordinal = numberOf(d.get("ordinal"));
        if (d.kind != Json::Object || !ordinal || *ordinal < 1) throw std::runtime_error("a database without its ordinal");
        r.ordinal = static_cast<size_t>(*ordinal);
        r.file = textOf(d.get("file"));
        r.version = numberOf(d.get("version"));
        r.marked = numberOf(d.get("marked"));
        r.others = numberOf(d.get("others"));
        const std::string status = textOf(d.get("status"));
        r.status = status == "same" ? Status::Same : status == "differs" ? Status::Differs : Status::Failed;
        r.error = textOf(d.get("error"));
        r.report = textOf(d.get("report"));
        r.done = true;
        s.rows.push_back(std::move(r));
    }
    return s;
}

bool MergeSummaries(const std::vector<std::string>& inputs, const std::optional<std::string>& reportDir,
                    Summary& merged, std::ostream& err) {
    std::set<size_t> ordinals;
    bool first = true;
    for (const auto& input : inputs) {
        const fs::path given = fs::u8path(input);
        std::error_code ec;
        const bool folder = fs::is_directory(given, ec);
        const fs::path file = folder ? given / kSummaryFile : given;
        Summary s;
        try {
            s = ParseSummaryJson(readWhole(file));
        } catch (const std::exception& e) {
            err << "'" << file.string() << "': " << e.what() << "\n";
            return false;
        }
        if (first) {
            merged.reference = s.reference;
            merged.product = s.product;
            merged.referenceVersion = s.referenceVersion;
            first = false;
        } else if (s.reference != merged.reference || s.product != merged.product) {
            err << "'" << file.string() << "' is a survey of '" << s.reference << "' (" << s.product << "), not of '"
                << merged.reference << "' (" << merged.product << "): only shards of one survey are merged\n";
            return false;
        }
        for (auto& r : s.rows) {
            if (!ordinals.insert(r.ordinal).second) {
                err << "database " << r.ordinal << " ('" << r.file << "') comes twice: only shards of one survey "
                    << "are merged\n";
                return false;
            }
            if (!r.report.empty()) {
                // A report name is one file name of the shard's folder, never a path.
                const fs::path name = fs::u8path(r.report);
                if (!folder || name.has_parent_path() || r.report == "." || r.report == ".." ||
                    r.report == "index.html" || r.report == kSummaryFile) {
                    r.report.clear();
                } else if (reportDir) {
                    try {
                        report::WriteWholeFile((fs::u8path(*reportDir) / name).string(), readWhole(given / name),
                                               "The report");
                    } catch (const std::exception& e) {
                        err << e.what() << " ('" << (given / name).string() << "')\n";
                        return false;
                    }
                }
            }
            merged.rows.push_back(std::move(r));
        }
    }
    std::stable_sort(merged.rows.begin(), merged.rows.end(),
                     [](const Row& a, const Row& b) { return a.ordinal < b.ordinal; });
    SortForSummary(merged.rows);
    if (!reportDir) return true;
    if (!WriteIndex(*reportDir, {merged.reference, merged.product}, merged.rows, err)) return false;
    try {
        report::WriteWholeFile((fs::u8path(*reportDir) / kSummaryFile).string(), SummaryJson(merged, std::nullopt, false),
                               "The survey's summary");
    } catch (const std::exception& e) {
        err << e.what() << "\n";
        return false;
    }
    return true;
}

}  // namespace dex::survey
