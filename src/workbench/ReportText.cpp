// Text made safe for the places reports put it: JSON strings, HTML, CSV
// cells (no formulas), one-line messages; colours and icons by name.
#include "Report.h"

#include <cctype>
#include <cstdio>
#include <string_view>

namespace dex::report {

std::string JsonString(const std::string& s) {
    std::string r = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"': r += "\\\""; break;
            case '\\': r += "\\\\"; break;
            case '\n': r += "\\n"; break;
            case '\r': r += "\\r"; break;
            case '\t': r += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    r += buf;
                } else {
                    r += static_cast<char>(c);
                }
        }
    }
    return r + "\"";
}

std::string HtmlEscape(const std::string& s) {
    std::string r;
    for (char c : s) {
        switch (c) {
            case '<': r += "&lt;"; break;
            case '>': r += "&gt;"; break;
            case '&': r += "&amp;"; break;
            case '"': r += "&quot;"; break;
            case '\'': r += "&#39;"; break;
            default: r += c;
        }
    }
    return r;
}

std::string CsvField(const std::string& s) {
    // A cell a spreadsheet would take for a formula (a name from a customer's
    // file may be "=HYPERLINK(...)") starts with an apostrophe, so that it
    // shows as the text it is; such a cell is always quoted.
    const bool formula = !s.empty() && std::string_view("=+-@\t\r").find(s.front()) != std::string_view::npos;
    if (!formula && s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string r = formula ? "\"'" : "\"";
    for (char c : s) r += c == '"' ? std::string("\"\"") : std::string(1, c);
    return r + "\"";
}

std::string OneLineText(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else if (s.compare(i, 2, "\xC2\x85") == 0) {
            out += "\\u0085", ++i;
        } else if (s.compare(i, 3, "\xE2\x80\xA8") == 0 || s.compare(i, 3, "\xE2\x80\xA9") == 0) {
            out += s[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string CssColor(Color color) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
    return buf;
}

std::string VbColor(Color color) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "&H%08X", color);
    return buf;
}

std::string IconName(Icon icon) {
    switch (icon) {
        case Icon::Information: return "information";
        case Icon::Warning: return "warning";
        case Icon::Critical: return "critical";
        case Icon::Question: return "question";
        case Icon::None: break;
    }
    return "none";
}

}  // namespace dex::report
