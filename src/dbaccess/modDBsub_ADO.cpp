#include "modDBsub_ADO.h"

#include <memory>

#include "modDBsub.h"

namespace dex::modDBsub_ADO {

namespace {

std::string typeWord(int32_t typeCode, int32_t& size, bool alter) {
    switch (typeCode) {
    case coltype::SMALLINT: return "SMALLINT";
    case coltype::LONG: return "LONG";
    case coltype::DOUBLE: return "DOUBLE";
    case coltype::VARCHAR:
        if (size == 0) size = 255;
        return "VARCHAR(" + std::to_string(size) + ")";
    case coltype::TEXT: return "TEXT";
    case coltype::DATE: return alter ? "" : "DATE";
    case coltype::TINYINT: return alter ? "" : "TINYINT";
    default: return "";
    }
}

// Text columns take "" for an empty default or one made only of double quotes.
void normaliseTextDefault(int32_t typeCode, Value& defaultValue) {
    if (typeCode != coltype::VARCHAR && typeCode != coltype::TEXT) return;
    if (isNull(defaultValue)) return;
    std::string text = valueToText(defaultValue);
    if (text.find_first_not_of('"') == std::string::npos) defaultValue = std::string("\"\"");
}

void reportError(DbSession& session, const DbError& e) {
    session.showMessage("오류번호 : " + std::to_string(e.number()) + "\r\n" + "오류내용 : " +
                        e.description());
}

}  // namespace

std::string AddColumnStatement(const std::string& table, const std::string& column, int32_t typeCode,
                               int32_t& size, Value& defaultValue) {
    normaliseTextDefault(typeCode, defaultValue);
    std::string word = typeWord(typeCode, size, false);
    return "ALTER TABLE `" + table + "` " + " ADD COLUMN `" + column + "`" + " " + word +
           " DEFAULT " + (isNull(defaultValue) ? std::string("NULL") : valueToText(defaultValue)) +
           " NOT NULL";
}

std::string AddColumnBackfill(const std::string& table, const std::string& column, int32_t typeCode,
                              const Value& defaultValue) {
    std::string value;
    switch (typeCode) {
    case coltype::SMALLINT:
    case coltype::LONG:
    case coltype::DOUBLE:
    case coltype::TINYINT:
        value = isNull(defaultValue) ? std::string("NULL") : valueToText(defaultValue);
        break;
    case coltype::VARCHAR:
    case coltype::TEXT:
    case coltype::DATE:
        value = "''";
        break;
    default:
        break;
    }
    return "UPDATE `" + table + "` SET `" + column + "` = " + value + " WHERE `" + column +
           "` IS NULL";
}

std::string AlterColumnStatement(const std::string& table, const std::string& column,
                                 int32_t typeCode, int32_t& size, Value& defaultValue) {
    normaliseTextDefault(typeCode, defaultValue);
    std::string word = typeWord(typeCode, size, true);
    return "ALTER TABLE `" + table + "` " + " ALTER COLUMN `" + column + "`" + " " + word +
           " DEFAULT " + valueToText(defaultValue) + " NOT NULL";
}

std::string OrphanQuery(const std::string& r, const std::string& t, const std::string& rc,
                        const std::string& c) {
    return "SELECT " + t + "." + c + " FROM " + t + " LEFT JOIN " + r + " ON " + t + "." + c +
           " = " + r + "." + rc + " WHERE " + r + "." + rc + " IS NULL" + " GROUP BY " + t + "." + c;
}

std::string AddForeignKeyStatement(const std::string& name, const std::string& r,
                                   const std::string& t, const std::string& rc,
                                   const std::string& c, int32_t flags) {
    std::string sql = "ALTER TABLE " + t + " ADD CONSTRAINT " + name + " FOREIGN KEY (" + c +
                      ") REFERENCES" + " " + r + " (" + rc + ")";
    if (flags == fkflags::DeleteCascade || flags == fkflags::Both) sql += " ON DELETE CASCADE";
    if (flags == fkflags::UpdateCascade || flags == fkflags::Both) sql += " ON UPDATE CASCADE";
    return sql;
}

std::string CreateIndexStatement(const std::string& table, const std::string& columns,
                                 const std::string& name, bool unique) {
    return std::string("CREATE") + (unique ? " UNIQUE" : "") + " INDEX " + name + " ON " + table +
           "(" + columns + ")";
}

bool AddColumn(DbSession& session, const std::string& table, const std::string& column,
               int32_t typeCode, int32_t& size, Value& defaultValue, const std::string& init) {
    if (modDBsub::DBChkExistence(session, 2, table, column)) return true;
    std::string sql = AddColumnStatement(table, column, typeCode, size, defaultValue);
    modDBsub::DBExecute(session, sql);
    if (init.empty()) return true;
    std::string follow =
        init == kDefUpdate ? AddColumnBackfill(table, column, typeCode, defaultValue) : init;
    modDBsub::DBExecute(session, follow);
    return true;
}

bool AlterColumn(DbSession& session, const std::string& table, const std::string& column,
                 int32_t typeCode, int32_t& size, Value& defaultValue) {
    std::string sql = AlterColumnStatement(table, column, typeCode, size, defaultValue);
    modDBsub::DBExecute(session, sql);
    return true;
}

bool AddForeignKey(DbSession& session, const std::string& name, const std::string& refTable,
                   const std::string& table, const std::string& refColumn,
                   const std::string& column, int32_t flags) {
    std::unique_ptr<Recordset> rs;
    try {
        int32_t orphans =
            modDBsub::DBOpenRS(session, rs, OrphanQuery(refTable, table, refColumn, column), 0, 1, 1);
        modDBsub::DBCloseRS(rs);
        // A failed orphan query has shown its own message; a table with
        // orphans keeps its rows and stays without the constraint.
        if (orphans != 0) return false;
        std::string sql = AddForeignKeyStatement(name, refTable, table, refColumn, column, flags);
        modDBsub::DBExecute(session, sql);
        return true;
    } catch (const DbError& e) {
        reportError(session, e);
        return false;
    }
}

bool CreateIndex(DbSession& session, const std::string& table, const std::string& columns,
                 const std::string& name, bool unique) {
    try {
        std::string sql = CreateIndexStatement(table, columns, name, unique);
        modDBsub::DBExecute(session, sql);
        return true;
    } catch (const DbError& e) {
        reportError(session, e);
        return false;
    }
}

}  // namespace dex::modDBsub_ADO
