#pragma once
// A fix script applied to a database file from the window, all or nothing:
// the question first (as the compact button asks), then every statement in
// one transaction on a store, or, on a real Jet file, through a store that
// is written back, read back, checked and swapped in with the original kept
// beside it (JetStoreRoute.h).
#include <cstdint>
#include <string>
#include <vector>

#include "Workbench.h"

namespace dex {

// The statements of a script: one a line, blank and "--" lines left out.
std::vector<std::string> FixStatements(const std::string& script);

// Asks, checks the path of box `index`, applies and says how it went; true
// when the file was changed.
bool ApplyFixScript(Workbench& wb, const std::string& path, int16_t index, const std::string& script);

}  // namespace dex
