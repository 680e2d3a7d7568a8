#pragma once
// Names and texts as this program compares and rewrites them. Letter case
// is folded for ASCII letters only, as Jet folds names; every other byte
// (UTF-8 included) stays as it is, whatever the process's locale.
#include <string>
#include <string_view>

namespace dex {

std::string upperText(std::string_view s);
std::string lowerText(std::string_view s);

// Equal, and ordered, without regard to ASCII letter case.
bool equalsNoCase(std::string_view a, std::string_view b);
int compareNoCase(std::string_view a, std::string_view b);
bool lessNoCase(std::string_view a, std::string_view b);
// Ordered without regard to case; names that differ only in case by their bytes.
bool lessNoCaseThenExact(std::string_view a, std::string_view b);

// The text with every occurrence of `from` (not empty) replaced by `to`.
std::string replaceAll(const std::string& text, const std::string& from, const std::string& to);

}  // namespace dex
