#pragma once
// migrate and exec on a real Jet 4 (Access) file: the change runs on a
// private store imported from the file, which is then written back as a
// Jet 4 file carrying the rest of the old one, read back, checked and
// swapped in, the original kept beside it (JetStoreRoute.h).
#include <functional>
#include <ostream>
#include <string>

#include "DbEngine.h"

namespace dex {

// The product's ladder on FILE; 0 on success, 2 on failure (the file then unchanged).
int migrateJetFile(DbEngine& engine, const std::string& file, const std::string& code, const std::string& password,
                   bool generalSortOrder, bool trace, std::ostream& out, std::ostream& err);

// run(store, password) runs the statements on the store, all or nothing,
// and says whether all ran. 0 on success, 2 on failure.
int execOnJetFile(const std::string& file, const std::string& password,
                  const std::function<bool(const std::string& store, const std::string& password)>& run,
                  std::ostream& err);

// Queries alone: run(store, password) on a private store imported from the
// file, which is never written. 0 on success, 2 on failure.
int queryJetFile(const std::string& file, const std::string& password,
                 const std::function<bool(const std::string& store, const std::string& password)>& run,
                 std::ostream& err);

}  // namespace dex
