#include "modFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "DbError.h"
#include "ErrorReport.h"
#include "PeVersion.h"
#include "TextConv.h"
#include "ErrorText.h"

namespace dex {
namespace {

const char* const kProcedure = "GetFileVer";
const char* const kModule = "mdlFile";
const char* const kItemList =
    "CompanyName;FileDescription;FileVersion;InternalName;LegalCopyright;OriginalFilename;"
    "ProductName;ProductVersion;Comments;LegalTrademarks;PrivateBuild;SpecialBuild;Language";
constexpr size_t kItemCount = 13;
constexpr size_t kLanguageItem = 12;
constexpr size_t kFileVersionItem = 2;

const std::pair<const char*, const char*> kLanguages[] = {
    {"0436", "Afrikaans"},
    {"041C", "Albanian"},
    {"3801", "Arabic - U.A.E."},
    {"3C01", "Arabic - Bahrain"},
    {"1401", "Arabic - Algeria"},
    {"0C01", "Arabic - Egypt"},
    {"0801", "Arabic - Iraq"},
    {"2C01", "Arabic - Jordan"},
    {"3401", "Arabic - Kuwait"},
    {"3001", "Arabic - Lebanon"},
    {"1001", "Arabic - Libya"},
    {"1801", "Arabic - Morocco"},
    {"2001", "Arabic - Oman"},
    {"4001", "Arabic - Qatar"},
    {"0401", "Arabic - Saudia Arabia"},
    {"2801", "Arabic - Syria"},
    {"1C01", "Arabic - Tunisia"},
    {"2401", "Arabic - Yemen"},
    {"042D", "Basque"},
    {"0423", "Belarusian"},
    {"0402", "Bulgarian"},
    {"0403", "Catalan"},
    {"0804", "Chinese - PRC"},
    {"0C04", "Chinese - Hong Kong S.A.R."},
    {"1004", "Chinese - Singapore"},
    {"0404", "Chinese - Taiwan"},
    {"041A", "Croatian"},
    {"0405", "Czech"},
    {"0406", "Danish"},
    {"0413", "Dutch"},
    {"0813", "Dutch - Belgium"},
    {"0C09", "English - Australia"},
    {"2809", "English - Belize"},
    {"1009", "English - Canada"},
    {"1809", "English - Ireland"},
    {"2009", "English - Jamaica"},
    {"1409", "English - New Zealand"},
    {"1C09", "English - South Africa"},
    {"2C09", "English - Trinidad"},
    {"0809", "English - United Kingdom"},
    {"0409", "English - United States"},
    {"0425", "Estonian"},
    {"0429", "Farsi"},
    {"040B", "Finnish"},
    {"0438", "Faeroese"},
    {"040C", "French - Standard"},
    {"080C", "French - Belgium"},
    {"0C0C", "French - Canada"},
    {"140C", "French - Luxembourg"},
    {"100C", "French - Switzerland"},
    {"043C", "Gaelic - Scotland"},
    {"0407", "German - Standard"},
    {"0C07", "German - Austrian"},
    {"1407", "German - Lichtenstein"},
    {"1007", "German - Luxembourg"},
    {"0807", "German - Switzerland"},
    {"0408", "Greek"},
    {"040D", "Hebrew"},
    {"0439", "Hindi"},
    {"040E", "Hungarian"},
    {"040F", "Icelandic"},
    {"0421", "Indonesian"},
    {"0410", "Italian - Standard"},
    {"0810", "Italian - Switzerland"},
    {"0411", "Japanese"},
    {"0412", "Korean"},
    {"0426", "Latvian"},
    {"0427", "Lithuanian"},
    {"042F", "Macedonian"},
    {"043E", "Malay - Malaysia"},
    {"043A", "Maltese"},
    {"0414", "Norwegian - Bokm책l"},
    {"0415", "Polish"},
    {"0816", "Portuguese - Standard"},
    {"0416", "Portuguese - Brazil"},
    {"0417", "Raeto-Romance"},
    {"0418", "Romanian"},
    {"0818", "Romanian - Moldova"},
    {"0419", "Russian"},
    {"0819", "Russian - Moldova"},
    {"0C1A", "Serbian - Cyrillic"},
    {"0432", "Setsuana"},
    {"0424", "Slovenian"},
    {"041B", "Slovak"},
    {"042E", "Sorbian"},
    {"040A", "Spanish - Standard"},
    {"2C0A", "Spanish - Argentina"},
    {"400A", "Spanish - Bolivia"},
    {"340A", "Spanish - Chile"},
    {"240A", "Spanish - Columbia"},
    {"140A", "Spanish - Costa Rica"},
    {"1C0A", "Spanish - Dominican Republic"},
    {"300A", "Spanish - Ecuador"},
    {"100A", "Spanish - Guatemala"},
    {"480A", "Spanish - Honduras"},
    {"080A", "Spanish - Mexico"},
    {"4C0A", "Spanish - Nicaragua"},
    {"180A", "Spanish - Panama"},
    {"280A", "Spanish - Peru"},
    {"500A", "Spanish - Puerto Rico"},
    {"3C0A", "Spanish - Paraguay"},
    {"440A", "Spanish - El Salvador"},
    {"380A", "Spanish - Uruguay"},
    {"200A", "Spanish - Venezuela"},
    {"0430", "Sutu"},
    {"041D", "Swedish"},
    {"081D", "Swedish - Finland"},
    {"041E", "Thai"},
    {"041F", "Turkish"},
    {"0431", "Tsonga"},
    {"0422", "Ukranian"},
    {"0420", "Urdu - Pakistan"},
    {"042A", "Vietnamese"},
    {"0434", "Xhosa"},
    {"043D", "Yiddish"},
    {"0435", "Zulu"},
};

DbError InvalidCall() { return DbError(rterr::InvalidCall, "Invalid procedure call or argument"); }

// The buffer the block is read into: as many UTF-16 units as the block has
// bytes, the block at its start, blanks after it.
std::u16string MakeBuffer(const std::vector<uint8_t>& block) {
    std::u16string buffer(block.size(), u' ');
    for (size_t i = 0; i + 1 < block.size(); i += 2)
        buffer[i / 2] = static_cast<char16_t>(block[i] | (block[i + 1] << 8));
    if (block.size() % 2 != 0) buffer[block.size() / 2] = static_cast<char16_t>(block.back());
    return buffer;
}

std::u16string Widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// The units from `from` up to the next 0x0000.
std::u16string ValueAt(const std::u16string& buffer, size_t from) {
    const size_t end = from <= buffer.size() ? buffer.find(u'\0', from) : std::u16string::npos;
    if (end == std::u16string::npos) throw InvalidCall();
    return buffer.substr(from, end - from);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A whole number written without leading zeros, when `text` reads as a
// number ([blanks][sign]digits[exponent][blanks]); otherwise nothing.
std::optional<std::string> FormatWhole(const std::string& text) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    const std::string t = text.substr(b, e - b);
    size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
    const size_t digitsFrom = i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i;
    if (i == digitsFrom) return std::nullopt;
    if (i == t.size()) {
        std::string digits = t.substr(digitsFrom);
        digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
        return (t[0] == '-' && digits != "0") ? "-" + digits : digits;
    }
    if (t[i] != 'e' && t[i] != 'E') return std::nullopt;
    size_t j = i + 1;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
    const size_t expFrom = j;
    while (j < t.size() && std::isdigit(static_cast<unsigned char>(t[j]))) ++j;
    if (j == expFrom || j != t.size()) return std::nullopt;
    const double value = std::nearbyint(std::strtod(t.c_str(), nullptr));
    if (!std::isfinite(value)) return std::nullopt;
    char out[400];
    std::snprintf(out, sizeof out, "%.0f", value == 0 ? 0.0 : value);
    return std::string(out);
}

}  // namespace

modFile::modFile(Dialogs& dialogs, BlockReader reader)
    : dialogs_(dialogs), reader_(reader ? reader : &ReadVersionBlock) {}

std::span<const std::pair<const char*, const char*>> modFile::LanguageTable() { return kLanguages; }

std::vector<std::string> modFile::ItemNames() {
    std::vector<std::string> names;
    const std::string list = kItemList;
    size_t from = 0;
    for (size_t at; (at = list.find(';', from)) != std::string::npos; from = at + 1)
        names.push_back(list.substr(from, at - from));
    names.push_back(list.substr(from));
    return names;
}

std::string modFile::GetLangName(const std::string& id) {
    std::string key = id.substr(0, 4);
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const auto& [code, name] : kLanguages)
        if (key == code) return name;
    return "";
}

void modFile::Report(int32_t number, const std::string& description) {
    dialogs_.message(errorFrame(number, description, kProcedure, std::string("Module ") + kModule), kUpdateTitle, Icon::None);
}

std::string modFile::ReadItem(const std::u16string& buffer, const std::string& key) {
    const size_t p = buffer.find(u'\x0001' + Widen(key));
    if (p == std::u16string::npos) return key + ": Not specified";
    size_t q = p + key.size() + 1;  // the key's terminator
    if (q + 1 < buffer.size() && buffer[q + 1] == u'\0')
        q += 2;
    else if (q < buffer.size() && buffer[q] == u'\0')
        q += 1;
    return key + ": " + Utf16ToUtf8(ValueAt(buffer, q));
}

std::string modFile::ReadLanguage(const std::u16string& buffer) {
    const std::string key = "StringFileInfo";
    const size_t p = buffer.find(u'\x0001' + Widen(key));
    if (p == std::u16string::npos) return "Language";
    const size_t table = buffer.find(u'\x0001', p + key.size());
    const std::u16string id = table == std::u16string::npos ? u"" : ValueAt(buffer, table + 1);
    return "Language: " + GetLangName(Utf16ToUtf8(id));
}

std::optional<std::vector<std::string>> modFile::GetFileVerInfo(const std::string& path) {
    const std::vector<uint8_t> block = reader_(path);
    if (block.empty()) return std::nullopt;
    const std::u16string buffer = MakeBuffer(block);
    std::vector<std::string> items = ItemNames();
    for (size_t i = 0; i < kItemCount; ++i) {
        // A failed item keeps its bare name, and reading goes on.
        RunReported(dialogs_, kProcedure, kModule, [&] {
            items[i] = i == kLanguageItem ? ReadLanguage(buffer) : ReadItem(buffer, items[i]);
        });
    }
    return items;
}

std::string modFile::GetFileVer(const std::string& path, bool keepLastPart, bool silent) {
    const auto items = GetFileVerInfo(path);
    try {
        if (!items) throw DbError(rterr::TypeMismatch, "Type mismatch");
        const std::string& line = (*items)[kFileVersionItem];
        const size_t blank = line.find(' ');
        const std::string version = blank == std::string::npos ? line : line.substr(blank + 1);
        const size_t dot = version.rfind('.');
        const size_t k = dot == std::string::npos ? 0 : dot + 1;  // 1-based, 0 when none
        if (keepLastPart) {
            const std::string rest = version.substr(k);
            return version.substr(0, k) + FormatWhole(rest).value_or(rest);
        }
        if (k == 0) throw InvalidCall();
        return version.substr(0, k - 1);
    } catch (const DbError& e) {
        if (!silent) Report(e.number(), e.description());
        return "";
    }
}

}  // namespace dex
