#pragma once
// The first, quadratic comparison passes, the reference for the linear ones.
#include <cstdint>

#include "Workbench.h"

namespace dex::reference {

int64_t CompareStruct(Workbench& wb);

}  // namespace dex::reference
