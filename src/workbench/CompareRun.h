#pragma once
// The Compare button / F5: validate both paths, prepare and migrate the
// copies when a product is chosen, then load and compare.
#include <string>

#include "Workbench.h"

namespace dex {

struct CompareRequest {
    std::string pathA, pathB;
    std::string productCode;  // "" or vardoII / FornII / FornPro / quickbilII
};

// Returns true when both structures were loaded and compared.
bool RunComparison(Workbench& wb, const CompareRequest& request);

// Loads A and B into the grid and compares them, with the hourglass,
// suspended repainting and both progress bars around it.
bool LoadAndCompare(Workbench& wb, const std::string& pathA, const std::string& pathB);

}  // namespace dex
