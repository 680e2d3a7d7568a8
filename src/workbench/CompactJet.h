#pragma once
// The compact button on a real Jet (Access) file: the file is rewritten from
// its model and swapped in, the original kept beside it (JetCompact.h). The
// product password is tried first, then the one given, then whatever the
// user types when asked.
#include <cstdint>
#include <string>
#include <vector>

#include "Workbench.h"

namespace dex {

// Shows "압축 및 복구를 완료하였습니다." with where the original was kept, or the
// error frame of cmdCompact_Click. True when the file was replaced.
bool compactRealJetFile(Workbench& wb, const std::string& path, const std::string& password);

// The message after a compaction: the backup's name and what was repaired.
std::string compactedText(const std::string& backup, const std::vector<std::string>& repaired);

}  // namespace dex
