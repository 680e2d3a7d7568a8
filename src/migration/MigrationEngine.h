#pragma once
// The migration engine shared by every product catalogue: the version read,
// the ladder of steps against the one stored version, the entry that writes
// the target once, and the failure reports.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Catalogue.h"
#include "DbSession.h"
#include "MigrationLog.h"

namespace dex::migration {

struct MigrationContext {
    DbSession& session;
    const MigrationLog& log;
};

inline constexpr const char* kVersionQuery = "SELECT ver FROM dbversion WHERE dbid='main'";

// "UPDATE dbversion SET ver = T WHERE dbid = 'main'"
std::string VersionUpdate(int16_t target);

// The stored version: the leading number of the record's text (empty or not
// numeric: 0), rounded half to even into 16 bits. Throws DbError (Overflow
// above 32767, or the engine's error).
int16_t ReadStoredVersion(DbSession& session);
// The same read, telling a missing row (nullopt) from a stored version.
std::optional<int16_t> ReadStoredVersionRow(DbSession& session);

// "Error N (D) in procedure P of Module M"
std::string ErrorMessage(const DbError& e, const std::string& procedure, const std::string& module);

// Runs operations in order; errors of AddColumn, AlterColumn and DBExecute
// propagate, AddForeignKey and CreateIndex report their own.
void RunOperations(MigrationContext& ctx, const Catalogue& catalogue,
                   const std::vector<Operation>& ops);

// Runs the catalogue's sub-procedure of that name (with its own handler when
// it has one).
void CallProcedure(MigrationContext& ctx, const Catalogue& catalogue, const std::string& name);

// Every step whose condition holds for `stored`, in ascending order. True at
// the end. With a ladder handler an error is reported here and gives False;
// without one it propagates to the entry.
bool ChkDBpatch_SUB(MigrationContext& ctx, const Catalogue& catalogue, int16_t stored);

// Reads the stored version; equal to the target: True at once. Otherwise the
// ladder, then the target written once. Errors of the entry (and of a ladder
// without a handler) are reported and give False.
bool ChkDBpatch(MigrationContext& ctx, const Catalogue& catalogue);

}  // namespace dex::migration
