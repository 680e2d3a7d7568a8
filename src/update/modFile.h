#pragma once
// modFile: the version information of an executable, read from the raw
// version block as UTF-16 text.
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "Dialogs.h"

namespace dex {

class modFile {
public:
    using BlockReader = std::vector<uint8_t> (*)(const std::string& path);

    // The block reader defaults to the PE reader (ReadVersionBlock).
    explicit modFile(Dialogs& dialogs, BlockReader reader = nullptr);

    // The thirteen lines "Name: value" (CompanyName ... SpecialBuild, then
    // Language), or nothing when the file has no version information.
    std::optional<std::vector<std::string>> GetFileVerInfo(const std::string& path);

    // The file version, either with its last part as a whole number
    // (1.00.0007 -> 1.00.7) or without it (1.00.0007 -> 1.00). Failures show
    // "Error N (D) in procedure GetFileVer of Module mdlFile" unless silent,
    // and give "".
    std::string GetFileVer(const std::string& path, bool keepLastPart, bool silent);

    // English name of the language whose identifier opens `id` (the first
    // four characters, in any case); "" when unknown.
    static std::string GetLangName(const std::string& id);

    // The language table in search order: identifier, name.
    static std::span<const std::pair<const char*, const char*>> LanguageTable();

    // The names of the thirteen items, in order.
    static std::vector<std::string> ItemNames();

private:
    std::string ReadItem(const std::u16string& buffer, const std::string& key);
    std::string ReadLanguage(const std::u16string& buffer);
    void Report(int32_t number, const std::string& description);

    Dialogs& dialogs_;
    BlockReader reader_;
};

}  // namespace dex
