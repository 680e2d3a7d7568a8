#pragma once
// Damage done on purpose to Jet 4 files that the test writer made, for the
// tests and benchmarks of hostile input: long values that many rows share
// or that loop, usage maps and page references moved past the end.
// Works on the bytes of the file: pages of 4096 bytes, data pages with the
// row count at 12 and the row offsets after it.
#include <cstdint>
#include <functional>
#include <string>

#include "JetWriter.h"

namespace dex::test {

// A table (id Long, note Memo) of `rows` rows, ids from 0: row 0's memo has
// firstBytes bytes, every other row's otherBytes. Its memo field starts 6
// bytes into each row (the offset the functions below take).
WTable memoTable(const std::string& name, int rows, size_t firstBytes, size_t otherBytes = 5);
// A table (id Long, label Text(40)) of `rows` rows: "label N".
WTable labelTable(const std::string& name, int rows);

// The file's bytes, and writing them back.
std::string readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);

// Calls f(pageStart, rowStart, rowEnd) for every row of every data page that
// the table whose definition is on tdefPage owns.
void forEachStoredRow(std::string& file, uint32_t tdefPage,
                      const std::function<void(size_t page, size_t start, size_t end)>& f);

// The definition page of a table, from a Jet 4 file that the writer made
// (the catalog row's Id, found by scanning the definitions for the name).
uint32_t tableDefPageOf(const std::string& file, const std::string& table);

// Makes every row's long value at `fieldOffset` bytes into its row (the
// 12-byte field header) the same as the first row's: all share one chain.
void shareFirstLongValue(const std::string& path, const std::string& table, size_t fieldOffset);

// Makes the first LVAL row of the first row's long value (at fieldOffset)
// point to itself as its next part, and declares the value 500,000,000 bytes long.
void loopFirstLongValue(const std::string& path, const std::string& table, size_t fieldOffset);

// Adds a copy of the first row of the table's first data page to its last one
// (a live row that no index has) and counts it in the definition.
void copyFirstRow(const std::string& path, const std::string& table);

// Marks the first row of the table's first data page deleted (its index
// entries stay) and takes it off the definition's count.
void deleteFirstRow(const std::string& path, const std::string& table);

// Marks the table's physical index number `physical` unique in its definition
// (flag 0x01), whatever its rows hold: an index whose key may repeat.
void makeIndexUnique(const std::string& path, const std::string& table, size_t physical);

}  // namespace dex::test
