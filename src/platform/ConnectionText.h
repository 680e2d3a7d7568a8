#pragma once
// The settings of a connection or DAO connect text, "key=value;key=value"
// ("Provider=...;Data Source=PATH;Jet OLEDB:Database Password=PW", ";pwd=PW"),
// as every engine reads them, and the texts the program builds.
//
// A value that holds a ';', a quote or blanks at either end is written in
// double quotes with each double quote doubled, and read back the same way:
// a file name or password can never add or replace a key.
#include <map>
#include <string>

namespace dex {

// Keys in upper case; blanks around keys and unquoted values removed; a
// quoted value ('...' or "...", the quote doubled inside) taken as written.
// A key given twice keeps its last value.
std::map<std::string, std::string> parseConnectionText(const std::string& text);
// The value of an upper-case key, "" when absent.
std::string connectionSetting(const std::map<std::string, std::string>& settings, const std::string& key);

// value as a connection text carries it: as it is, or quoted when the
// parser would otherwise read part of it as syntax.
std::string connectionValue(const std::string& value);
// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=PATH[;Jet OLEDB:Database Password=PW]"
// (no password key when password is empty).
std::string jetConnectionText(const std::string& path, const std::string& password);
// The DAO connect text ";pwd=PW".
std::string daoConnectText(const std::string& password);

}  // namespace dex
