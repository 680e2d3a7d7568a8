#pragma once
// A store described for the Jet writer, for the commands that write a
// store's tables back into a real Jet file (export, and migrate and exec on
// a Jet file): every user table with its columns, indexes and rows, the
// enforced relationships with their cascades.
#include <memory>
#include <string>
#include <vector>

#include "DbEngine.h"
#include "JetFileWriter.h"

namespace dex {

struct StoreForJet {
    jetfile::JetWriteDatabase db;  // the store's tables (rows read from the store as they are written) and relationships
    std::vector<TableDef> tables;  // the store's user tables as DAO lists them
    std::shared_ptr<void> keep;    // what the rows are read through; alive as long as db is written
};

// Throws DbError (3031 for a wrong password, the store's own errors).
StoreForJet describeStoreForJet(const std::string& storePath, const std::string& password);

// The first difference between the store's tables and the user tables a
// file read through the engines lists, "" when there is none.
std::string storeStructureDifference(const std::vector<TableDef>& store, const std::string& filePath,
                                     const std::string& password);

}  // namespace dex
