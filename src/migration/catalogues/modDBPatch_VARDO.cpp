#include "modDBPatch_VARDO.h"

#include <memory>

#include "modDBsub.h"

namespace dex::modDBPatch_VARDO {

using namespace migration;

namespace {

constexpr const char* kReceivedNotes =
    "SELECT b.code, p.dealdate, c.compalias"
    " FROM billnote AS b, payment AS p, customer AS c"
    " WHERE p.subcode = b.code AND p.ccode = c.code"
    " AND b.part = 1"
    " AND b.outtype = 0";

constexpr const char* kPaidNotes =
    "SELECT b.code"
    " FROM billnote AS b, payment AS p"
    " WHERE p.subcode = b.code"
    " AND b.part = 0"
    " AND b.outtype = 0";

void execute(DbSession& session, std::string sql) { modDBsub::DBExecute(session, sql); }

std::string fieldText(const Recordset& rs, int index) {
    return modDBsub::FieldText(rs.field(index));
}

// Walks the notes of one query, updating each with the statement built from
// its row and listing the code of every note that changed.
template <typename BuildUpdate>
void repairNotes(MigrationContext& ctx, const char* query, const std::string& title,
                 BuildUpdate buildUpdate) {
    std::unique_ptr<Recordset> rs;
    if (modDBsub::DBOpenRS(ctx.session, rs, query, 0, 1, 1) > 0) {
        MigrationLog::Section section = ctx.log.openSection(title);
        while (!rs->eof()) {
            std::string sql = buildUpdate(*rs);
            if (modDBsub::DBExecute(ctx.session, sql) > 0) section.line(fieldText(*rs, 0));
            rs->moveNext();
        }
        section.finish();
    }
    modDBsub::DBCloseRS(rs);
}

}  // namespace

std::string QuoteText(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

// Marks as handed on (outtype 2) the bill notes that a payment row names,
// received notes with the payment's date and the company alias, paid notes
// alone, and lists each changed note in the migration log.
void BillNoteSubRtn(MigrationContext& ctx) {
    repairNotes(ctx, kReceivedNotes, "[받을어음update ]", [](const Recordset& rs) {
        return std::string("UPDATE billnote SET") + " outtype = 2" + ",outdate = '" +
               QuoteText(fieldText(rs, 1)) + "'" + ",outbigo = '" + QuoteText(fieldText(rs, 2)) +
               "'" + " WHERE code = '" + QuoteText(fieldText(rs, 0)) + "'";
    });
    repairNotes(ctx, kPaidNotes, "[지급어음update ]", [](const Recordset& rs) {
        return std::string("UPDATE billnote SET") + " outtype = 2" + " WHERE code = '" +
               QuoteText(fieldText(rs, 0)) + "'";
    });
}

// Creates office_store and, when it is empty, fills it with every pair of an
// office and a storehouse.
void CreateTBL_office_store(MigrationContext& ctx) {
    execute(ctx.session,
            "CREATE TABLE `office_store` (`ocode` SMALLINT DEFAULT 0 NOT NULL, "
            "`scode` SMALLINT DEFAULT 0 NOT NULL, PRIMARY KEY (`ocode`, `scode`))");
    if (modDBsub::DBCount(ctx.session, "office_store", "") >= 1) return;
    std::unique_ptr<Recordset> rs;
    modDBsub::DBOpenRS(ctx.session, rs, "select o.code, s.code from office AS o, storehouse AS s", 0, 1,
                       1);
    while (!rs->eof()) {
        execute(ctx.session, "insert into office_store (ocode, scode) VALUES (" + fieldText(*rs, 0) +
                                 "," + fieldText(*rs, 1) + ")");
        rs->moveNext();
    }
    modDBsub::DBCloseRS(rs);
}

// Opens and closes the users with a login; it changes nothing (the copy of
// the passwords is the initialising statement of the step before).
void LoginPwdUpdate(MigrationContext& ctx) {
    std::unique_ptr<Recordset> rs;
    modDBsub::DBOpenRS(ctx.session, rs,
                       "SELECT l.code, l.loginpwd"
                       " FROM local_user AS l"
                       " WHERE l.loginid <> ''",
                       0, 1, 1);
    modDBsub::DBCloseRS(rs);
}

const migration::Catalogue& Catalogue() {
    static const migration::Catalogue catalogue = [] {
        migration::Catalogue c;
        c.productCode = "vardoII";
        c.target = kTarget;
        c.ladderHandler = true;
        c.steps = Steps();
        c.procedures = TableSubProcedures();
        c.procedures["BillNoteSubRtn"] = SubProcedure{{}, BillNoteSubRtn, true};
        c.procedures["CreateTBL_office_store"] = SubProcedure{{}, CreateTBL_office_store, false};
        c.procedures["LoginPwdUpdate"] = SubProcedure{{}, LoginPwdUpdate, true};
        return c;
    }();
    return catalogue;
}

bool ChkDBpatch(MigrationContext& ctx) { return migration::ChkDBpatch(ctx, Catalogue()); }

bool ChkDBpatch_SUB(MigrationContext& ctx, int16_t stored) {
    return migration::ChkDBpatch_SUB(ctx, Catalogue(), stored);
}

}  // namespace dex::modDBPatch_VARDO
