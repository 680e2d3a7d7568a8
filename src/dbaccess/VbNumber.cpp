#include "VbNumber.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "DbError.h"

namespace dex {

namespace {
bool isDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

double LeadingNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::string number;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) number += text[i++];
    bool digits = false;
    while (i < text.size() && isDigit(text[i])) { number += text[i++]; digits = true; }
    if (i < text.size() && text[i] == '.') {
        number += text[i++];
        while (i < text.size() && isDigit(text[i])) { number += text[i++]; digits = true; }
    }
    if (!digits) return 0.0;
    if (i + 1 < text.size() && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
        size_t j = i + 1;
        std::string exponent = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
        bool expDigits = false;
        while (j < text.size() && isDigit(text[j])) { exponent += text[j++]; expDigits = true; }
        if (expDigits) number += exponent;
    }
    return std::strtod(number.c_str(), nullptr);
}

int16_t ToInt16(double value) {
    double rounded = std::nearbyint(value);  // default rounding mode: half to even
    if (!(rounded >= -32768.0 && rounded <= 32767.0)) throw DbError(dberr::Overflow, "Overflow");
    return static_cast<int16_t>(rounded);
}

std::string FormatZeroPattern(double value, int width) {
    double rounded = std::round(value);
    bool negative = rounded < 0;
    std::string digits = std::to_string(static_cast<long long>(std::fabs(rounded)));
    if (width > 0 && static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
    return negative ? "-" + digits : digits;
}

}  // namespace dex
