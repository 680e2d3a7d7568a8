#include "FixScript.h"

#include <algorithm>
#include <set>
#include <utility>

#include "ConnectionText.h"
#include "Grid.h"
#include "IndexDiff.h"
#include "Report.h"

namespace dex::fixscript {

namespace {

using indexdiff::IndexDifference;

// A name in brackets, a ']' in it doubled so that it cannot close them.
std::string bracket(const std::string& name) {
    std::string out = "[";
    for (char c : name) out += c == ']' ? std::string("]]") : std::string(1, c);
    return out + "]";
}

// Why Jet could never hold this name ("" when it could): a control
// character, a leading blank, or one of . ! ` [ ]. A statement naming such a
// name is written only as a comment.
std::string jetNameProblem(const std::string& name) {
    if (!name.empty() && name.front() == ' ') return "it starts with a blank";
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) return "it holds a control character";
        if (c == '.' || c == '!' || c == '`' || c == '[' || c == ']') return std::string("it holds '") + char(c) + "'";
    }
    return {};
}

std::string bracketList(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : ", ") + bracket(n);
    return out;
}

bool sameNameSet(std::vector<std::string> x, std::vector<std::string> y) {
    for (auto* v : {&x, &y}) {
        for (auto& n : *v) n = upperText(n);
        std::sort(v->begin(), v->end());
    }
    return x == y;
}

// A key a foreign key can refer to: the primary key or a unique index.
bool isKey(const IndexDef& ix) { return ix.primary || (ix.unique && !ix.foreign); }

struct Step {
    std::string comment;  // the difference it remedies
    std::string warning;  // a further comment line ("" when none)
    std::string sql;
    std::string blocked;  // why it cannot be applied to the target ("" when it can)
};

class Planner {
public:
    Planner(const LoadedStructures& s, Target target, OrphanCheck* orphans)
        : s_(s), toB_(target == Target::B), orphans_(orphans) {}

    std::string run() {
        const auto diff = indexdiff::CompareStructures(s_.tablesA, s_.tablesB);
        for (const auto& d : diff.indexes)
            if (const auto& present = presentOf(d)) dropped_.insert(keyOf(d.table, present->name));
        for (const auto& d : diff.indexes) plan(d);
        for (const auto& d : diff.indexes)
            if (const auto& present = presentOf(d); present && isKey(*present))
                dropDependents(*findTable(targetTables(), d.table), *present);
        noteTables(diff.tablesOnlyInA, diff.tablesOnlyInB);
        return render();
    }

private:
    const std::vector<TableDef>& targetTables() const { return toB_ ? s_.tablesB : s_.tablesA; }
    const std::vector<TableDef>& wantedTables() const { return toB_ ? s_.tablesA : s_.tablesB; }
    const char* targetSide() const { return toB_ ? "B" : "A"; }
    const char* otherSide() const { return toB_ ? "A" : "B"; }
    const std::optional<IndexDef>& presentOf(const IndexDifference& d) const { return toB_ ? d.b : d.a; }
    const std::optional<IndexDef>& wantedOf(const IndexDifference& d) const { return toB_ ? d.a : d.b; }
    static std::string keyOf(const std::string& table, const std::string& index) {
        return upperText(table) + "\n" + upperText(index);
    }

    void plan(const IndexDifference& d) {
        const TableDef& table = *findTable(targetTables(), d.table);
        const std::string comment = indexdiff::DescribeDifference(d);
        if (const auto& present = presentOf(d)) addDrop(table, *present, comment);
        if (const auto& wanted = wantedOf(d)) addCreate(table, *wanted, comment);
    }

    // The first of the statement's names that Jet could never hold, as the
    // reason it cannot be applied ("" when every name is sound).
    static std::string badName(const TableDef& table, const IndexDef& ix, bool withFields) {
        std::vector<std::pair<const char*, const std::string*>> names{{"table", &table.name}, {"index", &ix.name}};
        if (withFields) {
            for (const auto& f : ix.fields) names.push_back({"field", &f});
            if (ix.foreign) names.push_back({"table", &ix.referencedTable});
            for (const auto& f : ix.referencedFields) names.push_back({"field", &f});
        }
        for (const auto& [what, name] : names)
            if (const std::string problem = jetNameProblem(*name); !problem.empty())
                return std::string("the ") + what + " name '" + *name + "' cannot be a Jet name: " + problem;
        return {};
    }

    void addDrop(const TableDef& table, const IndexDef& ix, const std::string& comment) {
        const std::string blocked = badName(table, ix, false);
        if (ix.foreign || ix.primary)
            (ix.foreign ? dropForeign_ : dropKeys_)
                .push_back({comment, "", "ALTER TABLE " + bracket(table.name) + " DROP CONSTRAINT " + bracket(ix.name),
                            blocked});
        else
            dropKeys_.push_back({comment, "", "DROP INDEX " + bracket(ix.name) + " ON " + bracket(table.name), blocked});
    }

    // The target's spelling of the fields; blocked names the first it lacks.
    std::vector<std::string> targetFields(const TableDef& table, const std::vector<std::string>& names,
                                          std::string& blocked) const {
        std::vector<std::string> out;
        for (const auto& n : names) {
            auto it = std::find_if(table.fields.begin(), table.fields.end(),
                                   [&](const FieldDef& f) { return equalsNoCase(f.name, n); });
            if (it == table.fields.end() && blocked.empty())
                blocked = "field " + n + " is not in " + targetSide() + "'s table " + table.name;
            out.push_back(it == table.fields.end() ? n : it->name);
        }
        return out;
    }

    // Whether the table will have a primary key or unique index on exactly
    // these fields once the script has run: a table on both sides ends with
    // the other side's keys, a table only the target has keeps its own.
    bool keyedAfterwards(const std::string& table, const std::vector<std::string>& fields) const {
        const TableDef* t = findTable(wantedTables(), table);
        if (!t) t = findTable(targetTables(), table);
        return t && std::any_of(t->indexes.begin(), t->indexes.end(),
                                [&](const IndexDef& ix) { return isKey(ix) && sameNameSet(ix.fields, fields); });
    }

    void addCreate(const TableDef& table, const IndexDef& ix, const std::string& comment) {
        Step step{comment, "", "", badName(table, ix, true)};
        const std::vector<std::string> fields = targetFields(table, ix.fields, step.blocked);
        if (ix.foreign) return addForeign(table, ix, fields, std::move(step));
        if (ix.primary) {
            step.sql = "ALTER TABLE " + bracket(table.name) + " ADD CONSTRAINT " + bracket(ix.name) + " PRIMARY KEY (" +
                       bracketList(fields) + ")";
            createKeys_.push_back(std::move(step));
            return;
        }
        step.sql = std::string("CREATE ") + (ix.unique ? "UNIQUE " : "") + "INDEX " + bracket(ix.name) + " ON " +
                   bracket(table.name) + " (" + bracketList(fields) + ")";
        createIndexes_.push_back(std::move(step));
    }

    void addForeign(const TableDef& table, const IndexDef& ix, const std::vector<std::string>& fields, Step step) {
        const TableDef* ref = findTable(targetTables(), ix.referencedTable);
        std::vector<std::string> refFields = ix.referencedFields;
        if (!ref && step.blocked.empty())
            step.blocked = "table " + ix.referencedTable + " is not in " + targetSide();
        if (ref) refFields = targetFields(*ref, ix.referencedFields, step.blocked);
        const std::string refName = ref ? ref->name : ix.referencedTable;
        if (step.blocked.empty() && !keyedAfterwards(refName, refFields))
            step.blocked = "no primary key or unique index of " + refName + " has the fields (" +
                           bracketList(refFields) + ")";
        step.sql = "ALTER TABLE " + bracket(table.name) + " ADD CONSTRAINT " + bracket(ix.name) + " FOREIGN KEY (" +
                   bracketList(fields) + ") REFERENCES " + bracket(refName) + " (" + bracketList(refFields) + ")";
        if (step.blocked.empty() && orphans_) step.warning = orphanWarning(table.name, fields, refName, refFields);
        createForeign_.push_back(std::move(step));
    }

    std::string orphanWarning(const std::string& table, const std::vector<std::string>& fields,
                              const std::string& refTable, const std::vector<std::string>& refFields) {
        const auto rows = orphans_->orphanRows(table, fields, refTable, refFields);
        if (!rows)
            return "could not check " + table + " for rows that match no row of " + refTable +
                   "; if it has any, this statement fails until they are mended";
        if (*rows == 0) return {};
        return table + " holds " + std::to_string(*rows) + (*rows == 1 ? " row" : " rows") + " whose (" +
               bracketList(fields) + ") match no row of " + refTable + ": this statement fails until " +
               (*rows == 1 ? "it is" : "they are") + " mended";
    }

    // Foreign keys of the target that refer to a key being dropped or
    // changed go before it and come back at the end.
    void dropDependents(const TableDef& keyTable, const IndexDef& key) {
        for (const auto& t : targetTables())
            for (const auto& fk : t.indexes) {
                if (!fk.foreign || !equalsNoCase(fk.referencedTable, keyTable.name) ||
                    !sameNameSet(fk.referencedFields, key.fields) || !dropped_.insert(keyOf(t.name, fk.name)).second)
                    continue;
                const std::string what = t.name + ": " + indexdiff::DescribeIndex(fk);
                addDrop(t, fk, what + " depends on " + keyTable.name + "'s " + key.name +
                                   ", which changes: dropped before it, restored at the end");
                addCreate(t, fk, what + " restored after " + keyTable.name + "'s " + key.name + " changed");
            }
    }

    void noteTables(const std::vector<std::string>& onlyA, const std::vector<std::string>& onlyB) {
        for (const auto& name : toB_ ? onlyA : onlyB)
            notes_.push_back("table " + name + " is only in " + otherSide() + ": tables are not created here");
        for (const auto& name : toB_ ? onlyB : onlyA)
            notes_.push_back("table " + name + " is only in " + targetSide() + ": tables are not dropped here");
    }

    std::string render() const {
        const std::vector<Step>* sections[] = {&dropForeign_, &dropKeys_, &createKeys_, &createIndexes_, &createForeign_};
        std::string body;
        // Every comment is one line whatever the names in it; a statement is
        // only written when all its names are sound (hence on one line too).
        const auto comment = [](const std::string& text) { return "-- " + report::OneLineText(text) + "\n"; };
        for (const auto* section : sections)
            for (const auto& step : *section) {
                body += comment(step.comment);
                if (!step.warning.empty()) body += comment(step.warning);
                if (step.blocked.empty()) body += step.sql + "\n";
                else body += comment("cannot be applied (" + step.blocked + "): " + step.sql);
            }
        if (body.empty() && notes_.empty()) return {};
        const std::string& target = toB_ ? s_.pathB : s_.pathA;
        const std::string& other = toB_ ? s_.pathA : s_.pathB;
        std::string out = comment("Makes the primary keys, foreign keys and indexes of " + std::string(targetSide()) +
                                  " (" + target + ") those of " + otherSide() + " (" + other + ").");
        for (const auto& note : notes_) out += comment(note);
        return out + body;
    }

    const LoadedStructures& s_;
    const bool toB_;
    OrphanCheck* orphans_;
    std::set<std::string> dropped_;  // table and index names (upper case) the script drops
    std::vector<Step> dropForeign_, dropKeys_, createKeys_, createIndexes_, createForeign_;
    std::vector<std::string> notes_;
};

}  // namespace

std::string OrphanQuery(const std::string& table, const std::vector<std::string>& fields, const std::string& refTable,
                        const std::vector<std::string>& refFields) {
    std::string notNull, match;
    for (size_t i = 0; i < fields.size() && i < refFields.size(); ++i) {
        notNull += (i ? " AND " : "") + std::string("c.") + bracket(fields[i]) + " IS NOT NULL";
        match += (i ? " AND " : "") + std::string("p.") + bracket(refFields[i]) + " = c." + bracket(fields[i]);
    }
    return "SELECT COUNT(*) FROM " + bracket(table) + " AS c WHERE " + notNull + " AND NOT EXISTS (SELECT 1 FROM " +
           bracket(refTable) + " AS p WHERE " + match + ")";
}

std::optional<int64_t> EngineOrphanCheck::orphanRows(const std::string& table, const std::vector<std::string>& fields,
                                                     const std::string& refTable,
                                                     const std::vector<std::string>& refFields) {
    if (unavailable_ || fields.empty()) return std::nullopt;
    try {
        if (!connection_) {
            connection_ = engine_.openConnection(jetConnectionText(path_, password_));
        }
        auto rows = connection_->query(OrphanQuery(table, fields, refTable, refFields));
        if (rows->eof()) return std::nullopt;
        const Value v = rows->field(0);
        if (const auto* n = std::get_if<int64_t>(&v)) return *n;
        if (const auto* d = std::get_if<double>(&v)) return static_cast<int64_t>(*d);
        return std::nullopt;
    } catch (const std::exception&) {
        // A file the engine cannot query (a real Jet file is read-only here)
        // is not asked again; each foreign key then says it was not checked.
        if (!connection_) unavailable_ = true;
        return std::nullopt;
    }
}

std::string MakeFixScript(const LoadedStructures& structures, Target target, OrphanCheck* orphans) {
    return Planner(structures, target, orphans).run();
}

}  // namespace dex::fixscript
