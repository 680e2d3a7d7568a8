#pragma once
// A real Jet file's replacement written, read back and checked, for every
// command that changes one (compact, migrate, exec): the description goes
// into the swap's new file (FileSwap.h); then the new file is opened through
// our reader and must hold every table's rows exactly as they were handed to
// the writer, the structure and the catalogue objects expected, and the
// checker must find it sound. Only then may the caller commit the swap.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DbError.h"
#include "JetFileWriter.h"

namespace dex {

class FileSwap;
namespace jetfile {
class JetFile;
struct JetSchema;
}

// A digest of a table's rows as stored (order included), to hold what was
// written against what is read back.
class JetRowDigest {
public:
    void add(const std::vector<jetfile::JetValue>& row);
    bool operator==(const JetRowDigest& o) const { return rows_ == o.rows_ && hash_ == o.hash_; }
    uint64_t rows() const { return rows_; }

private:
    void mix(uint64_t w);
    void bytes(const void* p, size_t n);
    uint64_t hash_ = 0xCBF29CE484222325ull, rows_ = 0;
};

struct RewriteDigest {
    JetRowDigest digest;
    bool countOnly = false;  // rows whose catalogue ids the writer remaps
};
// By table name in lower case.
using RewriteDigests = std::map<std::string, std::shared_ptr<RewriteDigest>>;

// Makes every table of the description note its rows as the writer takes them.
void watchRows(jetfile::JetWriteDatabase& db, RewriteDigests& digests);

struct RewriteExpectation {
    // Our reader's structure of the old file, as text (schemaText); unset: not compared.
    std::optional<std::string> schema;
    // Any further comparison of the file read back (readPath): the first
    // difference, "" when there is none.
    std::function<std::string(const std::string& readPath)> structure;
    // The catalogue's objects by type and name ("5 Query1"), sorted; unset: not compared.
    std::optional<std::vector<std::string>> objects;
    std::optional<size_t> permissions, queryRows;
};

// The structure as text: every table with its columns and indexes, every relationship.
std::string schemaText(const jetfile::JetSchema& schema);
// The old file's structure, catalogue objects, permission and query rows.
RewriteExpectation expectFromSource(const jetfile::JetFile& file);

using RewriteProgress =
    std::function<void(const std::string& stage, const std::string& table, int number, int count, uint64_t rows)>;

// Writes db into the swap's new file and reads it back; the rows written.
// Every failure becomes makeError(why).
uint64_t rewriteJetFile(FileSwap& swap, const std::string& path, const std::string& password,
                        const jetfile::JetWriteDatabase& db, const RewriteDigests& digests,
                        const RewriteExpectation& expected, const RewriteProgress& onProgress,
                        const std::function<DbError(const std::string&)>& makeError);

}  // namespace dex
