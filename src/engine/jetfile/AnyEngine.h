#pragma once
// The engine the program uses: each file is opened by the store or, for a
// real Jet file, by the read-only Jet reader, as its first bytes say.
#include <memory>

#include "DbEngine.h"
#include "JetStore.h"

namespace dex {

std::unique_ptr<DbEngine> makeDatabaseEngine(const JetStoreOptions& storeOptions = {});

}  // namespace dex
