#pragma once
// The database engine over real Jet files: DAO structure and ADO row reading,
// read-only. Every statement that would write fails with 3027
// "Cannot update. Database or object is read-only.".
#include <memory>

#include "DbEngine.h"

namespace dex {

std::unique_ptr<DbEngine> makeJetFileEngine();

}  // namespace dex
