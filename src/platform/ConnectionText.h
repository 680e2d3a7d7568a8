#pragma once
// The settings of a connection or DAO connect text, "key=value;key=value"
// ("Provider=...;Data Source=PATH;Jet OLEDB:Database Password=PW", ";pwd=PW"),
// as every engine reads them.
#include <map>
#include <string>

namespace dex {

// Keys in upper case; blanks around keys and values and quotes around a
// value removed.
std::map<std::string, std::string> parseConnectionText(const std::string& text);
// The value of an upper-case key, "" when absent.
std::string connectionSetting(const std::map<std::string, std::string>& settings, const std::string& key);

}  // namespace dex
