#pragma once
// Opening, creating and compacting store files: the format check, the
// password check and the connection settings every store connection gets.
#include <string>

#include "JetStore.h"
#include "SqliteHandles.h"

namespace dex::jetstore {

struct OpenRequest {
    std::string path;
    std::string password;
    bool readOnly = false;
    int32_t missingFileError = dberr::FileNotFound;  // DAO 3024; ADO reports -2147467259
};

// An open, configured connection to a store whose password matched.
DbHandle openStore(const OpenRequest& request, const JetStoreOptions& options);
void createStoreFile(const std::string& path, const std::string& password);
void changeStorePassword(const std::string& path, const std::string& oldPassword, const std::string& newPassword);
void compactStore(const OpenRequest& source, const std::string& destination, const JetStoreOptions& options);

}  // namespace dex::jetstore
