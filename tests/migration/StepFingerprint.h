#pragma once
// The first statement a migration step sends, used by the ladder tests as
// the step's fingerprint in a statement trace.
#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "Catalogue.h"
#include "modDBsub_ADO.h"

namespace dex::test {

inline std::string FirstStatement(const migration::Catalogue& c, const std::vector<migration::Operation>& ops) {
    using namespace migration;
    const Operation& op = ops.front();
    if (auto* a = std::get_if<AddColumnOp>(&op)) return "SELECT " + a->column + " FROM " + a->table;
    if (auto* e = std::get_if<ExecuteOp>(&op)) return e->sql;
    if (auto* call = std::get_if<CallOp>(&op)) {
        const SubProcedure* p = c.procedure(call->procedure);
        if (call->procedure == "CreateTBL_office_store")
            return "CREATE TABLE `office_store` (`ocode` SMALLINT DEFAULT 0 NOT NULL, `scode` SMALLINT DEFAULT 0 "
                   "NOT NULL, PRIMARY KEY (`ocode`, `scode`))";
        if (p->body) return "(own code) " + call->procedure;
        return FirstStatement(c, p->ops);
    }
    if (auto* al = std::get_if<AlterColumnOp>(&op)) {
        int32_t size = al->size;
        Value def = al->defaultValue;
        return modDBsub_ADO::AlterColumnStatement(al->table, al->column, al->type, size, def);
    }
    if (auto* ix = std::get_if<CreateIndexOp>(&op))
        return modDBsub_ADO::CreateIndexStatement(ix->table, ix->columns, ix->name, ix->unique);
    ADD_FAILURE() << "no fingerprint for a step's first operation";
    return {};
}

}  // namespace dex::test
