#pragma once
// Jet SQL that makes one side's primary keys, foreign keys and indexes those
// of the other side, for `dexmira exec TARGET < FILE`: one statement per
// line, each after a comment line naming the difference it remedies.
//
// Order, so that no statement fails on another's account: foreign keys that
// go (and those that depend on a key that goes or changes) are dropped
// first, then indexes and primary keys; then primary keys and indexes are
// created, and foreign keys last (the changed ones and the dependent ones
// restored). Tables and fields are never created or dropped and no row is
// touched: a statement that needs a field or table the target lacks is
// written as a comment saying why.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DbEngine.h"
#include "Workbench.h"

namespace dex::fixscript {

enum class Target { A, B };

// Counts the rows that would keep a new foreign key from being created.
class OrphanCheck {
public:
    virtual ~OrphanCheck() = default;
    // Rows of table whose fields are all non-Null and match no row of
    // refTable's refFields; nullopt when that cannot be told.
    virtual std::optional<int64_t> orphanRows(const std::string& table, const std::vector<std::string>& fields,
                                              const std::string& refTable,
                                              const std::vector<std::string>& refFields) = 0;
};

// Asks the target file itself, through the engine's statement side; the
// query only reads.
class EngineOrphanCheck : public OrphanCheck {
public:
    EngineOrphanCheck(DbEngine& engine, std::string path, std::string password)
        : engine_(engine), path_(std::move(path)), password_(std::move(password)) {}
    std::optional<int64_t> orphanRows(const std::string& table, const std::vector<std::string>& fields,
                                      const std::string& refTable, const std::vector<std::string>& refFields) override;

private:
    DbEngine& engine_;
    std::string path_, password_;
    std::unique_ptr<Connection> connection_;
    bool unavailable_ = false;
};

// The Jet query that counts those rows.
std::string OrphanQuery(const std::string& table, const std::vector<std::string>& fields, const std::string& refTable,
                        const std::vector<std::string>& refFields);

// The script that makes target's keys and indexes those of the other side;
// "" when they already agree. orphans may be null (no check is made).
std::string MakeFixScript(const LoadedStructures& structures, Target target, OrphanCheck* orphans);

}  // namespace dex::fixscript
