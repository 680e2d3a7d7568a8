#include "PropertyBlob.h"

#include <cstring>

#include "JetFile.h"
#include "JetPageReader.h"
#include "LittleEndian.h"

namespace dex::jetfile {
namespace {

bool sameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

[[noreturn]] void broken(const std::string& what) { throw JetDamage("the property blob " + what); }

}  // namespace

const JetProperty* JetPropertyMap::find(const std::string& n) const {
    for (const auto& p : properties)
        if (sameNoCase(p.name, n)) return &p;
    return nullptr;
}

const JetPropertyMap* JetPropertyBlob::map(const std::string& n) const {
    for (const auto& m : maps)
        if (m.name == n) return &m;
    for (const auto& m : maps)
        if (sameNoCase(m.name, n)) return &m;
    return nullptr;
}

JetPropertyBlob parsePropertyBlob(const std::string& blob, JetText& text) {
    JetPropertyBlob out;
    if (blob.empty()) return out;
    const auto* b = reinterpret_cast<const uint8_t*>(blob.data());
    const size_t n = blob.size();
    if (n < 4 || (std::memcmp(b, "MR2\0", 4) != 0 && std::memcmp(b, "KKD\0", 4) != 0)) broken("does not start with MR2 or KKD");
    auto name = [&](size_t& pos, size_t end) {
        if (end - pos < 2) broken("has a name cut short");
        const size_t len = le16(b + pos);
        if (len > end - pos - 2) broken("has a name longer than its chunk");
        std::string s = text.value(b + pos + 2, len);
        pos += 2 + len;
        return s;
    };
    for (size_t pos = 4; pos < n;) {
        if (n - pos < 6) broken("ends inside a chunk header");
        const uint32_t len = le32(b + pos);
        const int type = le16(b + pos + 4);
        if (len < 6 || len > n - pos) broken("has a chunk of " + std::to_string(len) + " bytes at offset " + std::to_string(pos));
        const size_t end = pos + len;
        size_t at = pos + 6;
        if (type == 0x80) {
            while (at < end) out.names.push_back(name(at, end));
        } else if (type <= 0x02) {
            JetPropertyMap map;
            map.chunkType = type;
            if (end - at < 4) broken("has a map without its name block");
            const uint32_t nameBlock = le32(b + at);
            if (nameBlock < 4 || nameBlock > end - at) broken("has a name block that does not fit");
            const size_t values = at + nameBlock;
            if (nameBlock > 6) {
                size_t p = at + 4;
                map.name = name(p, values);
            }
            for (at = values; at < end;) {
                if (end - at < 8) broken("ends inside a property");
                const size_t record = le16(b + at);
                JetProperty prop;
                prop.flag = b[at + 2];
                prop.type = b[at + 3];
                const size_t index = le16(b + at + 4), size = le16(b + at + 6);
                if (record < 8 || record > end - at || size > record - 8) broken("has a property that does not fit");
                if (index >= out.names.size()) broken("names property " + std::to_string(index) + " of " + std::to_string(out.names.size()));
                prop.name = out.names[index];
                prop.value.assign(reinterpret_cast<const char*>(b + at + 8), size);
                map.properties.push_back(std::move(prop));
                at += record;
            }
            out.maps.push_back(std::move(map));
        }
        pos = end;
    }
    return out;
}

std::optional<std::string> propertyText(const JetProperty& p, JetText& text) {
    const auto* v = reinterpret_cast<const uint8_t*>(p.value.data());
    switch (p.type) {
        case coltype::Text: case coltype::Memo: return text.value(v, p.value.size());
        case coltype::Bool: return propertyIsTrue(p) ? "True" : "False";
        case coltype::Byte: case coltype::Int: case coltype::Long: {
            int64_t x = 0;
            if (p.value.size() >= 4 && p.type == coltype::Long) x = static_cast<int32_t>(le32(v));
            else if (p.value.size() >= 2 && p.type == coltype::Int) x = static_cast<int16_t>(le16(v));
            else if (!p.value.empty()) x = v[0];
            return std::to_string(x);
        }
        default: return std::nullopt;
    }
}

bool propertyIsTrue(const JetProperty& p) {
    for (char c : p.value)
        if (c != 0) return true;
    return false;
}

}  // namespace dex::jetfile
