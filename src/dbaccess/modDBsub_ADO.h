#pragma once
// modDBsub_ADO: the schema-change primitives the migration catalogues use.
// Each builds one Jet SQL statement from its arguments and runs it through
// DBExecute on the session's DBConn.
#include <cstdint>
#include <string>

#include "DbSession.h"

namespace dex::modDBsub_ADO {

// Column type codes as the catalogues pass them.
namespace coltype {
constexpr int32_t SMALLINT = 1, LONG = 2, DOUBLE = 3, VARCHAR = 4, TEXT = 5, DATE = 6, TINYINT = 7;
}

// Foreign-key flags: 1 ON DELETE CASCADE, 2 ON UPDATE CASCADE, 3 both.
namespace fkflags {
constexpr int32_t None = 0, DeleteCascade = 1, UpdateCascade = 2, Both = 3;
}

// The initialising statement with which AddColumn builds its own back-fill.
inline constexpr const char* kDefUpdate = "DEF_UPDATE";

// The statements the primitives run, built from their arguments. For VARCHAR
// a size of 0 becomes 255 in `size`; for VARCHAR and TEXT an empty default or
// one made only of double quotes becomes "" in `defaultValue`.
std::string AddColumnStatement(const std::string& table, const std::string& column, int32_t typeCode,
                               int32_t& size, Value& defaultValue);
std::string AddColumnBackfill(const std::string& table, const std::string& column, int32_t typeCode,
                              const Value& defaultValue);
std::string AlterColumnStatement(const std::string& table, const std::string& column,
                                 int32_t typeCode, int32_t& size, Value& defaultValue);
std::string OrphanQuery(const std::string& refTable, const std::string& table,
                        const std::string& refColumn, const std::string& column);
std::string AddForeignKeyStatement(const std::string& name, const std::string& refTable,
                                   const std::string& table, const std::string& refColumn,
                                   const std::string& column, int32_t flags);
std::string CreateIndexStatement(const std::string& table, const std::string& columns,
                                 const std::string& name, bool unique);

// Adds the column unless it exists (then nothing at all is executed), then
// runs the initialising statement: none when empty, the built back-fill for
// "DEF_UPDATE", otherwise the statement as given. Failures throw DbError.
bool AddColumn(DbSession& session, const std::string& table, const std::string& column,
               int32_t typeCode, int32_t& size, Value& defaultValue, const std::string& init);

// Changes a column's type and default. Failures throw DbError.
bool AlterColumn(DbSession& session, const std::string& table, const std::string& column,
                 int32_t typeCode, int32_t& size, Value& defaultValue);

// Adds the named foreign key when the table has no orphans (values of the
// column without a partner in the referenced table). A table with orphans
// keeps them and gets no constraint: False without a message. Any error is
// shown ("오류번호 : ...") and gives False.
bool AddForeignKey(DbSession& session, const std::string& name, const std::string& refTable,
                   const std::string& table, const std::string& refColumn,
                   const std::string& column, int32_t flags);

// Creates the index; any error is shown ("오류번호 : ...") and gives False.
bool CreateIndex(DbSession& session, const std::string& table, const std::string& columns,
                 const std::string& name, bool unique);

}  // namespace dex::modDBsub_ADO
