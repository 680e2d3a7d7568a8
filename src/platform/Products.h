#pragma once
// The products the tool knows: the entries of the product list, the default
// database path offered for box A, and the product code that selects the
// migration catalogue. VelmoraII and VelmoraLite share one code.
#include <array>
#include <string>

namespace dex {

// The password of every product database.
inline const std::string kProductPassword = "kt5316";

struct ProductEntry {
    std::string text;         // list entry
    std::string defaultPath;  // offered for box A
    std::string code;         // ProductCode
};

inline const std::array<ProductEntry, 6>& ProductTable() {
    static const std::array<ProductEntry, 6> table{{
        {"[제품선택]", "", ""},
        {"VelmoraII", R"(C:\VelmoraII\DBS\dbMain.mdb)", "vardoII"},
        {"VelmoraLite", R"(C:\VelmoraLite\DBS\dbMain.mdb)", "vardoII"},
        {"QuensaII", R"(C:\QuensaII\DBS\dbMain.mdb)", "FornII"},
        {"QuensaPro", R"(C:\QuensaPro\DBS\dbMain.mdb)", "FornPro"},
        {"TallyvoII", R"(C:\TallyvoII\DBS\dbMain.mdb)", "quickbilII"},
    }};
    return table;
}

// The entries that choose a product, as a message lists them:
// "VelmoraII, VelmoraLite, QuensaII, QuensaPro, TallyvoII".
inline std::string ProductEntryNames() {
    std::string names;
    for (const auto& entry : ProductTable())
        if (!entry.code.empty()) names += (names.empty() ? "" : ", ") + entry.text;
    return names;
}

}  // namespace dex
