#pragma once
// The property blob of a catalog object (MSysObjects.LvProp): "MR2\0"
// (Jet 4) or "KKD\0" (Jet 3), then chunks of a 4-byte length (header
// included) and a 2-byte type. Chunk 0x80 lists the property names (each a
// 2-byte length and the name); chunks 0x00, 0x01 and 0x02 are property maps:
// a name block (a 4-byte length counting itself, then the 2-byte length and
// the name of the object or column the map belongs to), then the values,
// each a 2-byte record length, a flag byte (1: a property of the design), the
// value's column type, the name's index, the 2-byte value size and the value.
// The object's own map carries the object's name (or none); every column
// with properties has a map named after it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "TextCodec.h"

namespace dex::jetfile {

struct JetProperty {
    std::string name;
    int type = 0;        // coltype of the value
    uint8_t flag = 0;
    std::string value;   // the value's bytes as stored
};

struct JetPropertyMap {
    int chunkType = 0;   // 0x00, 0x01 or 0x02
    std::string name;    // the object's or column's name; "" when the map has none
    std::vector<JetProperty> properties;
    const JetProperty* find(const std::string& name) const;  // without regard to ASCII case
};

struct JetPropertyBlob {
    std::vector<std::string> names;
    std::vector<JetPropertyMap> maps;
    // The map named `name` (exactly, else without regard to ASCII case).
    const JetPropertyMap* map(const std::string& name) const;
};

// Parses a blob; an empty blob has no maps. Throws JetDamage for a blob whose
// lengths or name indexes do not fit.
JetPropertyBlob parsePropertyBlob(const std::string& blob, JetText& text);

// A property's value as text: Text and Memo decoded, Bool "True"/"False",
// whole numbers in decimal; other types nullopt.
std::optional<std::string> propertyText(const JetProperty& p, JetText& text);

// A Bool property (or any whole number): its value is not zero.
bool propertyIsTrue(const JetProperty& p);

}  // namespace dex::jetfile
