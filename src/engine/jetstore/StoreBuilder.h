#pragma once
// Builds a new store from a complete description, as an import of a real Jet
// file needs: what the Jet dialect has no words for (the primary key's name,
// a default text of any form, AllowZeroLength, index names that another
// table's index also has) comes through here and never through statement
// text. Everything happens in one transaction; a builder that is not finished
// leaves no file behind.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DbEngine.h"

namespace dex {

struct StoreColumnSpec {
    std::string name;
    std::string type;  // the store's type word: "VARCHAR(50)", "LONG", "AUTOINCREMENT", "BINARY(16)", ...
    std::optional<std::string> defaultText;  // verbatim
    bool required = false;
    std::optional<bool> allowZeroLength;  // unset: the store's own rule
    bool binary = false;                  // values are bytes (stored as blobs)
};

struct StoreIndexSpec {
    std::string name;
    bool unique = false;
    std::vector<std::string> columns;  // key order
    std::vector<bool> descending;      // empty: all ascending
};

struct StoreForeignKeySpec {
    std::string name;
    std::vector<std::string> columns;
    std::string refTable;
    std::vector<std::string> refColumns;
    bool cascadeUpdate = false, cascadeDelete = false;
};

struct StoreTableSpec {
    std::string name;
    std::vector<StoreColumnSpec> columns;
    std::string primaryKeyName;
    std::vector<std::string> primaryKey;
    std::vector<StoreIndexSpec> indexes;
    std::vector<StoreForeignKeySpec> foreignKeys;
};

class StoreBuilder {
public:
    // Creates path (which must not exist) as a store with that password.
    StoreBuilder(const std::string& path, const std::string& password);
    // Without finish(): rolls back and removes the file.
    ~StoreBuilder();
    StoreBuilder(const StoreBuilder&) = delete;
    StoreBuilder& operator=(const StoreBuilder&) = delete;

    // The table with its columns, key and foreign keys (tables may refer to
    // tables created later: foreign keys are checked by finish()).
    void createTable(const StoreTableSpec& spec);

    // Inserts rows of a table created before, one value per column in the
    // spec's order; text into binary columns is stored as bytes. A Null in a
    // required column (outside the key) is carried: the column stays
    // required in the structure and holds Nulls, as a Jet file's column made
    // Required after its rows were in.
    class RowWriter {
    public:
        struct State;
        explicit RowWriter(std::unique_ptr<State> state);
        ~RowWriter();
        RowWriter(RowWriter&&) noexcept;
        void write(const std::vector<Value>& row);

    private:
        bool bindAndStep(const std::vector<Value>& row);
        std::unique_ptr<State> state_;
    };
    RowWriter rows(const StoreTableSpec& spec);

    // The table's indexes (after its rows: building them once is faster).
    void createIndexes(const StoreTableSpec& spec);

    // Checks the foreign keys, commits and closes; throws DbError naming the
    // table whose rows break a foreign key.
    void finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace dex
