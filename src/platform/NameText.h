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

// Whether a name starts with "MSys" in any letter case: Jet's own system tables.
bool isMSysName(std::string_view name);

// The text with every occurrence of `from` (not empty) replaced by `to`.
std::string replaceAll(const std::string& text, const std::string& from, const std::string& to);

// The text percent-encoded for a URL: ASCII letters, digits, "-._~" and the
// characters of `alsoKept` stay, every other byte becomes %XX.
std::string percentEncoded(std::string_view text, std::string_view alsoKept = "");

}  // namespace dex
