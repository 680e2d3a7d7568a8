#pragma once
// A migration catalogue as data: numbered steps, each a list of operations
// over the schema primitives, and the named sub-procedures the steps call.
// Catalogues of related products share steps and sub-procedures by copying
// these values and replacing what differs.
#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "DbEngine.h"

namespace dex::migration {

struct MigrationContext;

// AddColumn t.c TYPE default=D init: "S" (init "DEF_UPDATE": the back-fill).
struct AddColumnOp {
    std::string table, column;
    int32_t type = 0;
    int32_t size = 0;
    Value defaultValue;
    std::string init;
};

// AlterColumn t.c TYPE default=D
struct AlterColumnOp {
    std::string table, column;
    int32_t type = 0;
    int32_t size = 0;
    Value defaultValue;
};

// AddForeignKey name: table(column) -> refTable(refColumn) flags=F
struct AddForeignKeyOp {
    std::string name, table, column, refTable, refColumn;
    int32_t flags = 0;
};

// CreateIndex name ON table(columns) [UNIQUE]
struct CreateIndexOp {
    std::string name, table, columns;
    bool unique = false;
};

// DBExecute "S"
struct ExecuteOp {
    std::string sql;
};

// DBExecute before + NextCode(table, column, length, condition, prefix) + after
struct NextCodeInsertOp {
    std::string before;
    std::string table, column;
    int16_t length = 0;
    std::string condition;
    bool prefixMode = false;
    std::string after;
};

// When DBCount(table, "") is not greater than 0, DBExecute each statement.
struct SeedIfEmptyOp {
    std::string table;
    std::vector<std::string> statements;
};

// Call P: the catalogue's sub-procedure of that name.
struct CallOp {
    std::string procedure;
};

using Operation = std::variant<AddColumnOp, AlterColumnOp, AddForeignKeyOp, CreateIndexOp, ExecuteOp,
                               NextCodeInsertOp, SeedIfEmptyOp, CallOp>;

enum class StepKind {
    Plain,   // applies when stored < number
    ElseIf,  // applies when the step before does not and stored < number
    Range,   // applies when lo <= stored <= hi
};

struct Step {
    int number = 0;
    StepKind kind = StepKind::Plain;
    int lo = 0, hi = 0;
    std::vector<Operation> ops;
};

// A sub-procedure: either a list of operations or a procedure of its own.
// With an own handler, an error ends the sub-procedure with the message
// "Error N (D) in procedure NAME of Module modMain_dbPatch" and the calling
// step goes on; without one the error reaches the ladder.
struct SubProcedure {
    std::vector<Operation> ops;
    std::function<void(MigrationContext&)> body;  // used instead of ops when set
    bool ownHandler = false;
};

struct Catalogue {
    std::string productCode;
    int16_t target = 0;
    // True: ChkDBpatch_SUB reports errors itself ("... in procedure
    // ChkDBpatch_SUB of Module FrmDBUpdate"); false: they reach the entry.
    bool ladderHandler = false;
    std::vector<Step> steps;  // ascending by number
    std::map<std::string, SubProcedure> procedures;

    const Step* step(int number) const;
    const SubProcedure* procedure(const std::string& name) const;
};

// Whether a step applies to the stored version; `previousApplied` tells
// whether the step just before it applied (for ElseIf steps).
bool StepApplies(const Step& step, int16_t stored, bool previousApplied);

// Builders for catalogue tables.
namespace build {

inline Value N(int64_t v) { return Value{v}; }
inline Value S(std::string text) { return Value{std::move(text)}; }
// The two-character text of two double quotes.
inline Value QQ() { return Value{std::string("\"\"")}; }

inline Operation addColumn(std::string table, std::string column, int32_t type, int32_t size,
                           Value def, std::string init = {}) {
    return AddColumnOp{std::move(table), std::move(column), type, size, std::move(def), std::move(init)};
}
inline Operation alterColumn(std::string table, std::string column, int32_t type, int32_t size,
                             Value def) {
    return AlterColumnOp{std::move(table), std::move(column), type, size, std::move(def)};
}
inline Operation addForeignKey(std::string name, std::string table, std::string column,
                               std::string refTable, std::string refColumn, int32_t flags) {
    return AddForeignKeyOp{std::move(name), std::move(table), std::move(column), std::move(refTable),
                           std::move(refColumn), flags};
}
inline Operation createIndex(std::string name, std::string table, std::string columns,
                             bool unique = false) {
    return CreateIndexOp{std::move(name), std::move(table), std::move(columns), unique};
}
inline Operation execute(std::string sql) { return ExecuteOp{std::move(sql)}; }
inline Operation call(std::string procedure) { return CallOp{std::move(procedure)}; }

inline Step step(int number, std::vector<Operation> ops) {
    return Step{number, StepKind::Plain, 0, 0, std::move(ops)};
}
inline Step elseIfStep(int number, std::vector<Operation> ops) {
    return Step{number, StepKind::ElseIf, 0, 0, std::move(ops)};
}
inline Step rangeStep(int number, int lo, int hi, std::vector<Operation> ops) {
    return Step{number, StepKind::Range, lo, hi, std::move(ops)};
}

// Another catalogue's step `number`, taken over as step `asNumber` with the
// same kind and operations. Throws std::logic_error when there is no such
// step (a fault in the catalogue tables, found by the first use).
inline Step stepAs(const std::vector<Step>& from, int number, int asNumber) {
    for (const Step& s : from) {
        if (s.number != number) continue;
        Step copy = s;
        copy.number = asNumber;
        return copy;
    }
    throw std::logic_error("catalogue has no step " + std::to_string(number));
}

// Another catalogue's sub-procedure of that name, taken over unchanged.
inline SubProcedure procedureOf(const std::map<std::string, SubProcedure>& from, const std::string& name) {
    auto it = from.find(name);
    if (it == from.end()) throw std::logic_error("catalogue has no sub-procedure " + name);
    return it->second;
}

}  // namespace build

}  // namespace dex::migration
