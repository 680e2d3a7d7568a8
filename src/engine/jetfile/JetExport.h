#pragma once
// A store becomes a new Jet 4 file with the same structure and rows: every
// user table with its columns (autonumbers included), primary key, indexes
// and enforced relationships (with their cascades), its column properties
// (DefaultValue, Required, AllowZeroLength) and every row, in the General
// sort order. The store's password becomes the database password.
//
// The file is written beside OUT, unnamed where the file system allows it
// (else under a private name, removed on SIGINT/SIGTERM/SIGHUP and by the
// next export after a kill), read back and checked — checkJetFile sound, the
// structure read from it equal to the store's, every table's rows equal to
// what was written — and only then linked to OUT, never over anything. Any
// failure (a value that cannot be stored or keyed, a full disk, a check that
// fails) leaves no file.
//
// A Yes/No column cannot hold Null in a Jet file: a Null there is written
// as No. An empty text in a column of numbers or dates (what a store keeps
// where a column was added with DEFAULT "" to existing rows) is written as
// Null, as Jet leaves those rows.
#include <cstdint>
#include <functional>
#include <string>

namespace dex {

struct ExportProgress {
    std::string stage;  // "write", "check"
    std::string table;
    int tableNumber = 0, tableCount = 0;
    uint64_t rows = 0;
};

// OUT must not exist. Throws DbError: 3204 when OUT exists, 3031 for a wrong
// password, the store's own errors, and 3343 naming the table (and index,
// and character) for what cannot be written or does not read back.
void ExportStoreToJet(const std::string& storePath, const std::string& outPath, const std::string& password,
                      const std::function<void(const ExportProgress&)>& onProgress = {});

// The Jet column type of a DAO field type (daotype), 0 for none.
int jetColumnTypeOf(int daoType);

}  // namespace dex
