#pragma once
// Per-user settings (application, section, key -> text).
#include <map>
#include <string>

namespace dex {

class Settings {
public:
    virtual ~Settings() = default;
    // Missing key: empty text.
    virtual std::string get(const std::string& section, const std::string& key) = 0;
    virtual void set(const std::string& section, const std::string& key, const std::string& value) = 0;
};

class MemorySettings : public Settings {
public:
    std::map<std::string, std::string> values;  // "section/key" -> text
    int writes = 0;
    std::string get(const std::string& section, const std::string& key) override {
        auto it = values.find(section + "/" + key);
        return it == values.end() ? std::string() : it->second;
    }
    void set(const std::string& section, const std::string& key, const std::string& value) override {
        values[section + "/" + key] = value;
        ++writes;
    }
};

}  // namespace dex
