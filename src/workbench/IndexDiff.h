#pragma once
// The comparison below the grid: for every table on both sides, each key and
// index of A set against those of B, and each field's settings. The grid
// tells that a field's P/F/I membership differs; this tells which index makes
// it differ and how, including differences the marks cannot show (two
// different indexes that both mark a field "I", a unique index against a
// plain one, a composite key in another order, a renamed index).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "DbEngine.h"
#include "Words.h"

namespace dex::indexdiff {

enum class Change {
    OnlyInA,    // no index of B has its definition or its name
    OnlyInB,
    Renamed,    // the same definition under another name
    Redefined,  // the same name with another definition
};

// What differs between two indexes of one name (bits).
namespace part {
constexpr unsigned Fields = 1;        // other fields
constexpr unsigned FieldOrder = 2;    // the same fields in another order
constexpr unsigned Unique = 4;
constexpr unsigned Primary = 8;
constexpr unsigned Foreign = 16;
constexpr unsigned ReferencedTable = 32;
constexpr unsigned ReferencedFields = 64;
}  // namespace part

struct IndexDifference {
    std::string table;  // as A names it (B's name for a difference of a table only B has: none)
    Change change = Change::OnlyInA;
    std::optional<IndexDef> a, b;  // the index on each side, when that side has it
    unsigned parts = 0;            // Redefined: what differs
};

// A field of a table on both sides whose settings differ.
struct SettingDifference {
    std::string table, field;
    FieldDef a, b;
    std::vector<std::string> settings;  // "type", "size", "default", "required", "zero-length"
};

// A field of a table both sides have, present on one side only.
struct OneSidedField {
    std::string table, field;  // the table as that side names it
};

struct StructureDiff {
    std::vector<std::string> tablesOnlyInA, tablesOnlyInB;
    std::vector<OneSidedField> fieldsOnlyInA, fieldsOnlyInB;
    std::vector<IndexDifference> indexes;
    std::vector<SettingDifference> settings;

    bool empty() const {
        return tablesOnlyInA.empty() && tablesOnlyInB.empty() && fieldsOnlyInA.empty() && fieldsOnlyInB.empty() &&
               indexes.empty() && settings.empty();
    }
};

// Tables are paired by name, letter case ignored; within a pair, indexes are
// matched first by name and definition together, then by definition alone
// (fields in key order, primary, unique, foreign and what it references;
// letter case of names ignored), then by name alone. Results follow A's
// table order, then the tables only B has.
StructureDiff CompareStructures(const std::vector<TableDef>& a, const std::vector<TableDef>& b);

// Whether two indexes have the same definition (names aside).
bool SameDefinition(const IndexDef& x, const IndexDef& y);
// Bits of part:: that differ between two indexes.
unsigned DefinitionDifferences(const IndexDef& x, const IndexDef& y);

// The descriptions below are in English unless told otherwise: the JSON
// document and the fix script's comments carry them for scripts to read.
// Korean is their source text, as for the reports (Words.h).
//
// "primary key PrimaryKey (code)", "unique index ix (a, b)",
// "foreign key fk (gcode) references custgroup (code)"; in Korean
// "기본키 PrimaryKey (code)", "고유 인덱스 ix (a, b)",
// "외래키 fk (gcode) → custgroup (code)".
std::string DescribeIndex(const IndexDef& index, words::Language language = words::Language::English);
// Names of the part bits set: "fields", "field order", "unique", "primary",
// "foreign", "referenced table", "referenced fields" (the JSON's names).
std::vector<std::string> PartNames(unsigned parts);
// The same joined, in language: "fields, unique" ("필드, 고유").
std::string DescribeParts(unsigned parts, words::Language language = words::Language::English);
// "onlyInA", "onlyInB", "renamed", "redefined".
std::string ChangeName(Change change);
// One line for a difference, naming the table, e.g.
// "customer: index idx_name (name) only in A"
// ("customer: A에만 있는 인덱스 idx_name (name)").
std::string DescribeDifference(const IndexDifference& d, words::Language language = words::Language::English);
// "customer.name: size A 50, B 40; default A "", B 0"
// ("customer.name: 크기 A 50, B 40; 기본값 A "", B 0").
std::string DescribeSettings(const SettingDifference& d, words::Language language = words::Language::English);

}  // namespace dex::indexdiff
