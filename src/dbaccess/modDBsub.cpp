#include "modDBsub.h"

#include <climits>

#include "ConnectionText.h"
#include "ErrorText.h"
#include "VbNumber.h"

namespace dex::modDBsub {

namespace {

constexpr char CR = '\r';

// What DBOpenRS leaves behind when the open failed: a row set that was
// never opened; reading it fails the way a closed row set does.
class UnopenedRecordset : public Recordset {
public:
    int state() const override { return StateClosed; }
    bool eof() const override { fail(); }
    int fieldCount() const override { fail(); }
    Value field(int) const override { fail(); }
    std::string fieldName(int) const override { fail(); }
    long recordCount() const override { fail(); }
    void moveNext() override { fail(); }
    void close() override { fail(); }

private:
    [[noreturn]] static void fail() {
        throw DbError(3704, "Operation is not allowed when the object is closed.");
    }
};

int32_t toInt32(const Value& v) {
    if (auto* i = std::get_if<int64_t>(&v)) {
        if (*i > INT32_MAX || *i < INT32_MIN) throw DbError(dberr::Overflow, "Overflow");
        return static_cast<int32_t>(*i);
    }
    return static_cast<int32_t>(LeadingNumber(valueToText(v)));
}

void reportOpenFailure(DbSession& session, const DbError& e, const std::string& statement) {
    Dialogs& d = session.dialogs();
    switch (e.number()) {
    case dberr::NoConnection:
        d.message(std::string("Data Base MDB가 선언되지 않았습니다.") + CR + statement, "MDB 오류",
                  Icon::Information);
        break;
    case dberr::ObjectNotFound:
        d.message(std::string("Jet Data Base Engine의 식을 확인하세요.") + CR + statement, "Query",
                  Icon::Information);
        break;
    case dberr::TableLocked:
        d.message(e.description() + CR + statement, "MDB 오류", Icon::Information);
        break;
    case dberr::SyntaxError:
        d.message("입력된 DB 데이터 중 특수문자 또는 지원하지 않는 언어(일본어, 기타 외국어 등)가 "
                  "존재하거나, 기타 실행오류 입니다. ",
                  "Error", Icon::Information);
        break;
    default:
        d.message(e.description() + CR + statement, "ERROR", Icon::Information);
        break;
    }
}

}  // namespace

std::string ConnectionString(const std::string& path, const std::string& password) {
    return jetConnectionText(path, password);
}

bool DBOpen(DbSession& session, const std::string& path, const std::string& password) {
    session.openConnection(ConnectionString(path, password));
    return true;
}

Value DBQuery(DbSession& session, const std::string& statement) {
    std::unique_ptr<Recordset> rs = session.query(statement);
    Value result = std::string();
    if (!rs->eof()) {
        Value v = rs->field(0);
        if (!isNull(v)) result = std::move(v);
    }
    DBCloseRS(rs);
    return result;
}

std::string FieldText(const Value& value) { return valueToText(value); }

int32_t DBExecute(DbSession& session, std::string& statement) {
    if (statement.compare(0, 9, "TRUNCATE ") == 0) statement = "DELETE FROM " + statement.substr(9);
    int64_t affected = session.execute(statement);
    return static_cast<int32_t>(affected);
}

void DBCloseRS(std::unique_ptr<Recordset>& rs) {
    if (!rs) return;
    if (rs->state() == Recordset::StateOpen) rs->close();
    rs.reset();
}

std::string NextCode(DbSession& session, const std::string& table, const std::string& column,
                     int16_t length, const std::string& condition, bool prefixMode) {
    int width = prefixMode ? length - 1 : length;
    std::string sql = prefixMode ? "SELECT MAX(LEFT(" + column + ", " + std::to_string(length - 1) +
                                       ")) FROM " + table
                                 : "SELECT MAX(" + column + ") FROM " + table;
    sql += " WHERE LEN(" + column + ") = " + std::to_string(length) + " AND ISNUMERIC(" + column + ")";
    if (!condition.empty()) sql += " AND " + condition;

    std::unique_ptr<Recordset> rs = session.query(sql);
    Value max = rs->field(0);
    std::string code = isNull(max) ? FormatZeroPattern(1, width)
                                   : FormatZeroPattern(LeadingNumber(valueToText(max)) + 1, width);
    DBCloseRS(rs);
    return code;
}

int32_t DBOpenRS(DbSession& session, std::unique_ptr<Recordset>& rs, const std::string& statement,
                 int32_t /*cursorType*/, int32_t /*lockType*/, int32_t /*options*/) {
    // The engine's row sets are always static, forward-only, read-only copies
    // with their count known at open: what the callers ask for.
    try {
        DBCloseRS(rs);
    } catch (const DbError&) {
    }
    rs = std::make_unique<UnopenedRecordset>();
    try {
        std::unique_ptr<Recordset> opened = session.query(statement);
        int32_t count = static_cast<int32_t>(opened->recordCount());
        rs = std::move(opened);
        return count;
    } catch (const DbError& e) {
        reportOpenFailure(session, e, statement);
        return -1;
    }
}

int32_t DBCount(DbSession& session, const std::string& table, const std::string& condition) {
    std::string sql = "SELECT COUNT(*) FROM " + table;
    if (!condition.empty()) sql += " WHERE " + condition;
    std::unique_ptr<Recordset> rs = session.query(sql);
    int32_t count = toInt32(rs->field(0));
    DBCloseRS(rs);
    return count;
}

bool DBChkExistence(DbSession& session, int32_t mode, const std::string& table,
                    const std::string& column) {
    std::string probe;
    if (mode == 1) probe = "SELECT * FROM " + table;
    else if (mode == 2) probe = "SELECT " + column + " FROM " + table;
    try {
        DBQuery(session, probe);
    } catch (const DbError& e) {
        if (e.number() == dberr::MissingColumn || e.number() == dberr::MissingTable ||
            e.number() == dberr::SyntaxError)
            return false;
        session.showMessage(
            errorFrame(e.number(), e.description(), "DBChkExistence", "Module modDBUpdate_ADO"));
    }
    return true;
}

}  // namespace dex::modDBsub
