#include "StoreFunctions.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "StoreErrors.h"

namespace dex::jetstore {
namespace {

std::string_view textArg(sqlite3_value* v) {
    auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? std::string_view(p, static_cast<size_t>(sqlite3_value_bytes(v))) : std::string_view();
}

// Byte offsets of each UTF-8 character start, plus the end.
std::vector<size_t> charStarts(std::string_view s) {
    std::vector<size_t> out;
    for (size_t i = 0; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) out.push_back(i);
    out.push_back(s.size());
    return out;
}

void resultText(sqlite3_context* ctx, std::string_view s) {
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

bool anyNull(int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
    return false;
}

void lenFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, static_cast<int64_t>(charStarts(textArg(argv[0])).size() - 1));
}

void isNumericFunc(sqlite3_context* ctx, int, sqlite3_value** argv) {
    int type = sqlite3_value_type(argv[0]);
    bool numeric = type == SQLITE_INTEGER || type == SQLITE_FLOAT ||
                   (type == SQLITE_TEXT && looksNumeric(textArg(argv[0])));
    sqlite3_result_int(ctx, numeric ? -1 : 0);
}

void nowFunc(sqlite3_context* ctx, int, sqlite3_value**) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
    resultText(ctx, buf);
}

void sliceResult(sqlite3_context* ctx, std::string_view s, int64_t from, int64_t count) {
    auto starts = charStarts(s);
    int64_t n = static_cast<int64_t>(starts.size()) - 1;
    from = std::clamp<int64_t>(from, 0, n);
    int64_t to = std::clamp<int64_t>(from + std::max<int64_t>(count, 0), from, n);
    resultText(ctx, s.substr(starts[from], starts[to] - starts[from]));
}

void leftFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    sliceResult(ctx, textArg(argv[0]), 0, sqlite3_value_int64(argv[1]));
}

void rightFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    std::string_view s = textArg(argv[0]);
    int64_t n = static_cast<int64_t>(charStarts(s).size()) - 1;
    int64_t count = std::min<int64_t>(std::max<int64_t>(sqlite3_value_int64(argv[1]), 0), n);
    sliceResult(ctx, s, n - count, count);
}

void midFunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
    int64_t start = sqlite3_value_int64(argv[1]);
    if (start < 1) return sqlite3_result_error(ctx, "Invalid procedure call or argument", -1);
    int64_t count = argc > 2 ? sqlite3_value_int64(argv[2]) : INT32_MAX;
    sliceResult(ctx, textArg(argv[0]), start - 1, count);
}

void add(sqlite3* db, const char* name, int args, bool deterministic,
         void (*fn)(sqlite3_context*, int, sqlite3_value**)) {
    int flags = SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0);
    int rc = sqlite3_create_function_v2(db, name, args, flags, nullptr, fn, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) throw sqliteError(db, rc);
}

}  // namespace

bool looksNumeric(std::string_view s) {
    size_t i = 0, end = s.size();
    while (i < end && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    while (end > i && std::isspace(static_cast<unsigned char>(s[end - 1]))) --end;
    if (i < end && (s[i] == '+' || s[i] == '-')) ++i;
    bool digits = false, point = false;
    for (; i < end; ++i) {
        char c = s[i];
        if (std::isdigit(static_cast<unsigned char>(c))) digits = true;
        else if (c == '.' && !point) point = true;
        else break;
    }
    if (!digits) return false;
    if (i < end && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < end && (s[i] == '+' || s[i] == '-')) ++i;
        if (i >= end) return false;
        while (i < end && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
    }
    return i == end;
}

void registerJetFunctions(sqlite3* db) {
    add(db, "LEN", 1, true, lenFunc);
    add(db, "ISNUMERIC", 1, true, isNumericFunc);
    add(db, "NOW", 0, false, nowFunc);
    add(db, "JET_LEFT", 2, true, leftFunc);
    add(db, "JET_RIGHT", 2, true, rightFunc);
    add(db, "MID", 2, true, midFunc);
    add(db, "MID", 3, true, midFunc);
}

}  // namespace dex::jetstore
