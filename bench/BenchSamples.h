#pragma once
// Sample stores for the benchmarks: the vardoII base schema at stored
// version 1 (samples/vardoII/base.sql) with customer, product_m and sale
// filled to a given number of rows. Keys are unique and every sale names an
// existing customer and product, so the catalogue's foreign keys are added.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace dex::bench {

// The base script's statements (one per line, "--" lines are comments).
std::vector<std::string> ReadScript(const std::filesystem::path& path);

// The vardoII base script of this source tree.
std::filesystem::path VardoBaseScript();

// A new store at path with the product password, built from the base script,
// then customer, product_m and sale filled until each holds `rows` rows (the
// script's seed rows count; 0 leaves the base sample as it is). A drifted
// store differs from the base as customer databases do, so that a comparison
// against an undrifted one has differences to mark: drift 1 adds a column and
// an index, drift 2 another column and index, drift 3 a table of its own and
// an index.
void MakeVardoSample(const std::filesystem::path& path, int rows, int drift = 0);

// A new store at path with the product password and `tables` tables of 31
// fields each (a key, texts, numbers, dates, a memo), with primary keys,
// foreign keys to the previous table and plain indexes. A drifted one differs
// as customer databases do: some fields exist on one side only, some tables
// have two fields in another order, some indexes are on other fields.
void MakeWideStore(const std::filesystem::path& path, int tables, bool drifted = false);

// Seconds elapsed since start.
inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The median of the samples (the mean of the middle two for an even count).
double Median(std::vector<double> samples);

}  // namespace dex::bench
