#include "MigrationEngine.h"

#include <memory>

#include "ErrorText.h"
#include "VbNumber.h"
#include "modDBsub.h"
#include "modDBsub_ADO.h"

namespace dex::migration {

namespace {

struct OperationRunner {
    MigrationContext& ctx;
    const Catalogue& catalogue;

    void operator()(const AddColumnOp& op) const {
        int32_t size = op.size;
        Value def = op.defaultValue;
        modDBsub_ADO::AddColumn(ctx.session, op.table, op.column, op.type, size, def, op.init);
    }
    void operator()(const AlterColumnOp& op) const {
        int32_t size = op.size;
        Value def = op.defaultValue;
        modDBsub_ADO::AlterColumn(ctx.session, op.table, op.column, op.type, size, def);
    }
    void operator()(const AddForeignKeyOp& op) const {
        modDBsub_ADO::AddForeignKey(ctx.session, op.name, op.refTable, op.table, op.refColumn,
                                    op.column, op.flags);
    }
    void operator()(const CreateIndexOp& op) const {
        modDBsub_ADO::CreateIndex(ctx.session, op.table, op.columns, op.name, op.unique);
    }
    void operator()(const ExecuteOp& op) const {
        std::string sql = op.sql;
        modDBsub::DBExecute(ctx.session, sql);
    }
    void operator()(const NextCodeInsertOp& op) const {
        std::string sql = op.before +
                          modDBsub::NextCode(ctx.session, op.table, op.column, op.length,
                                             op.condition, op.prefixMode) +
                          op.after;
        modDBsub::DBExecute(ctx.session, sql);
    }
    void operator()(const SeedIfEmptyOp& op) const {
        if (modDBsub::DBCount(ctx.session, op.table, "") > 0) return;
        for (const std::string& statement : op.statements) {
            std::string sql = statement;
            modDBsub::DBExecute(ctx.session, sql);
        }
    }
    void operator()(const CallOp& op) const { CallProcedure(ctx, catalogue, op.procedure); }
};

void runLadder(MigrationContext& ctx, const Catalogue& catalogue, int16_t stored) {
    bool previousApplied = false;
    for (const Step& step : catalogue.steps) {
        bool applies = StepApplies(step, stored, previousApplied);
        if (applies) RunOperations(ctx, catalogue, step.ops);
        previousApplied = applies;
    }
}

}  // namespace

const Step* Catalogue::step(int number) const {
    for (const Step& s : steps)
        if (s.number == number) return &s;
    return nullptr;
}

const SubProcedure* Catalogue::procedure(const std::string& name) const {
    auto it = procedures.find(name);
    return it == procedures.end() ? nullptr : &it->second;
}

bool StepApplies(const Step& step, int16_t stored, bool previousApplied) {
    switch (step.kind) {
    case StepKind::Plain: return stored < step.number;
    case StepKind::ElseIf: return !previousApplied && stored < step.number;
    case StepKind::Range: return stored >= step.lo && stored <= step.hi;
    }
    return false;
}

std::string VersionUpdate(int16_t target) {
    return "UPDATE dbversion SET ver = " + std::to_string(target) + " WHERE dbid = 'main'";
}

int16_t ReadStoredVersion(DbSession& session) {
    std::string text = modDBsub::FieldText(modDBsub::DBQuery(session, kVersionQuery));
    return ToInt16(LeadingNumber(text));
}

std::optional<int16_t> ReadStoredVersionRow(DbSession& session) {
    std::unique_ptr<Recordset> rs = session.query(kVersionQuery);
    if (rs->eof()) {
        modDBsub::DBCloseRS(rs);
        return std::nullopt;
    }
    Value v = rs->field(0);
    modDBsub::DBCloseRS(rs);
    return ToInt16(LeadingNumber(modDBsub::FieldText(isNull(v) ? Value{std::string()} : v)));
}

std::string ErrorMessage(const DbError& e, const std::string& procedure, const std::string& module) {
    return errorFrame(e.number(), e.description(), procedure, "Module " + module);
}

void RunOperations(MigrationContext& ctx, const Catalogue& catalogue,
                   const std::vector<Operation>& ops) {
    OperationRunner runner{ctx, catalogue};
    for (const Operation& op : ops) std::visit(runner, op);
}

void CallProcedure(MigrationContext& ctx, const Catalogue& catalogue, const std::string& name) {
    const SubProcedure* proc = catalogue.procedure(name);
    if (!proc)
        throw DbError(35, "Sub or Function not defined: " + name);
    auto run = [&] {
        if (proc->body) proc->body(ctx);
        else RunOperations(ctx, catalogue, proc->ops);
    };
    if (!proc->ownHandler) {
        run();
        return;
    }
    try {
        run();
    } catch (const DbError& e) {
        ctx.session.showMessage(ErrorMessage(e, name, "modMain_dbPatch"));
    }
}

bool ChkDBpatch_SUB(MigrationContext& ctx, const Catalogue& catalogue, int16_t stored) {
    if (!catalogue.ladderHandler) {
        runLadder(ctx, catalogue, stored);
        return true;
    }
    try {
        runLadder(ctx, catalogue, stored);
        return true;
    } catch (const DbError& e) {
        ctx.session.showMessage(ErrorMessage(e, "ChkDBpatch_SUB", "FrmDBUpdate"));
        return false;
    }
}

bool ChkDBpatch(MigrationContext& ctx, const Catalogue& catalogue) {
    try {
        // Without the version row the stored version is unknown: every step
        // would run and none would be recorded, so nothing is started.
        const std::optional<int16_t> read = ReadStoredVersionRow(ctx.session);
        if (!read) {
            ctx.session.showMessage("The table dbversion holds no row (dbid 'main'), so the database's schema "
                                    "version is unknown; no migration step was run.");
            return false;
        }
        const int16_t stored = *read;
        if (stored == catalogue.target) return true;
        if (!ChkDBpatch_SUB(ctx, catalogue, stored)) return false;
        std::string update = VersionUpdate(catalogue.target);
        modDBsub::DBExecute(ctx.session, update);
        return true;
    } catch (const DbError& e) {
        ctx.session.showMessage(ErrorMessage(e, "ChkDBpatch", "modMain_dbPatch"));
        return false;
    }
}

}  // namespace dex::migration
