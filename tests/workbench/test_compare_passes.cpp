// The linear comparison passes against the first, quadratic ones: on many
// generated pairs of structures, loaded the way the window loads them, both
// must leave the same grid (text and colour of every cell), hidden rows,
// active cell, count, messages and bars, in both comparison modes.
#include <gtest/gtest.h>

#include <random>

#include "FakeEngine.h"
#include "ReferencePasses.h"
#include "modCmpDB.h"

using namespace dex;
using namespace dex::test;

namespace {

struct Outcome {
    Grid grid;
    RecordingDialogs dialogs;
    ProgressBar itemBar, overallBar;
    int64_t count = -1;
};

// Loads a and b into a fresh grid and runs one implementation of the passes.
void run(Outcome& out, FakeEngine& engine, bool keep, bool reference) {
    RecordingWindow window;
    out.grid.setColumnCount(23);
    Workbench wb{out.grid, engine, out.dialogs, out.itemBar, out.overallBar, window};
    wb.keepOneSidedFields = keep;
    ASSERT_TRUE(modCmpDB::LoadDBStruct(wb, "a", true, kProductPassword, ""));
    ASSERT_TRUE(modCmpDB::LoadDBStruct(wb, "b", false, kProductPassword, ""));
    out.count = reference ? reference::CompareStruct(wb) : modCmpDB::CompareStruct(wb);
}

// Every difference between two outcomes, as text (empty when they agree).
std::string differences(const Outcome& want, const Outcome& got) {
    std::string out;
    const auto note = [&](const std::string& what) {
        if (out.size() < 2000) out += what + "\n";
    };
    if (want.count != got.count) note("count " + std::to_string(want.count) + " / " + std::to_string(got.count));
    if (want.grid.rowCount() != got.grid.rowCount())
        note("rows " + std::to_string(want.grid.rowCount()) + " / " + std::to_string(got.grid.rowCount()));
    for (int r = 1; r <= std::min(want.grid.rowCount(), got.grid.rowCount()); ++r) {
        if (want.grid.rowHidden(r) != got.grid.rowHidden(r)) note("hidden row " + std::to_string(r));
        for (int c = 1; c <= 23; ++c) {
            const auto at = " at " + std::to_string(c) + "," + std::to_string(r);
            if (want.grid.text(c, r) != got.grid.text(c, r))
                note("text" + at + ": '" + want.grid.text(c, r).value_or("") + "' / '" +
                     got.grid.text(c, r).value_or("") + "'");
            if (want.grid.backColor(c, r) != got.grid.backColor(c, r)) note("colour" + at);
        }
    }
    if (want.grid.activeRow() != got.grid.activeRow() || want.grid.activeColumn() != got.grid.activeColumn())
        note("active cell");
    if (want.dialogs.shown.size() != got.dialogs.shown.size()) note("message count");
    for (size_t i = 0; i < std::min(want.dialogs.shown.size(), got.dialogs.shown.size()); ++i)
        if (want.dialogs.shown[i].text != got.dialogs.shown[i].text) note("message " + got.dialogs.shown[i].text);
    if (want.itemBar.value() != got.itemBar.value() || want.itemBar.maximum() != got.itemBar.maximum() ||
        want.overallBar.value() != got.overallBar.value())
        note("bars");
    return out;
}

void expectSameAsReference(const std::vector<TableDef>& a, const std::vector<TableDef>& b, const std::string& label) {
    FakeEngine engine;
    engine.files["a"].tables = a;
    engine.files["b"].tables = b;
    for (const bool keep : {false, true}) {
        Outcome want, got;
        run(want, engine, keep, true);
        run(got, engine, keep, false);
        const std::string diff = differences(want, got);
        ASSERT_TRUE(diff.empty()) << label << (keep ? " (one-sided fields kept)" : "") << "\n" << diff;
    }
}

// A random structure and a drifted copy of it: fields dropped, added,
// reordered within and across tables, renamed in another letter case, and
// indexes added or removed. Small name pools make repeated and crossing
// names common.
std::pair<std::vector<TableDef>, std::vector<TableDef>> driftedPair(std::mt19937& rng) {
    const auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    std::vector<TableDef> a;
    const int tables = 1 + pick(4);
    for (int t = 0; t < tables; ++t) {
        TableDef table{"t" + std::to_string(t), {}, {}};
        const int fields = pick(9);
        for (int f = 0; f < fields; ++f) {
            const std::string name = "f" + std::to_string(pick(12));
            bool seen = false;
            for (const auto& existing : table.fields) seen = seen || existing.name == name;
            if (!seen) table.fields.push_back(chance(50) ? longField(name) : textField(name, 10 + pick(3)));
        }
        for (const auto& f : table.fields) {
            if (chance(15)) table.indexes.push_back(primaryKey({f.name}));
            if (chance(15)) table.indexes.push_back(foreignKey("fk" + f.name, {f.name}));
            if (chance(15)) table.indexes.push_back(plainIndex("ix" + f.name, {f.name}));
        }
        a.push_back(table);
    }
    std::vector<TableDef> b = a;
    for (auto& table : b) {
        std::vector<FieldDef> kept;
        for (const auto& f : table.fields)
            if (!chance(15)) kept.push_back(f);
        if (chance(30)) kept.push_back(textField("n" + std::to_string(pick(6))));
        if (kept.size() > 1 && chance(40)) std::swap(kept[static_cast<size_t>(pick(static_cast<int>(kept.size())))], kept.back());
        if (kept.size() > 2 && chance(20)) std::rotate(kept.begin(), kept.begin() + 1, kept.end());
        for (auto& f : kept)
            if (chance(5)) f.name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(f.name[0])));
        table.fields = kept;
        if (!table.indexes.empty() && chance(40)) table.indexes.erase(table.indexes.begin() + pick(static_cast<int>(table.indexes.size())));
        if (!table.fields.empty() && chance(30))
            table.indexes.push_back(plainIndex("extra", {table.fields[static_cast<size_t>(pick(static_cast<int>(table.fields.size())))].name}));
    }
    if (b.size() > 1 && chance(25)) std::swap(b.front(), b.back());
    if (chance(10)) b.pop_back();
    if (b.size() > 1 && chance(10)) {  // a field moved to another table
        auto& from = b.front().fields;
        if (!from.empty()) {
            b.back().fields.insert(b.back().fields.begin(), from.back());
            from.pop_back();
        }
    }
    return {a, b};
}

TEST(LinearPasses, HandMadeShapesMatchTheReference) {
    const TableDef xyz{"t", {longField("x"), longField("y"), longField("z")}, {}};
    const TableDef yzx{"t", {longField("y"), longField("z"), longField("x")}, {}};
    const TableDef zxy{"t", {longField("z"), longField("x"), longField("y")}, {primaryKey({"x"})}};
    const TableDef upper{"T", {longField("X"), longField("y"), textField("Z")}, {plainIndex("i", {"y"})}};
    const TableDef extra{"t", {longField("w"), longField("x"), textField("q"), longField("y")}, {}};
    const TableDef other{"u", {longField("x"), longField("k")}, {foreignKey("f", {"k"})}};
    expectSameAsReference({}, {}, "both empty");
    expectSameAsReference({xyz}, {}, "B empty");
    expectSameAsReference({xyz}, {yzx}, "rotation pushing rows past the last compared row");
    expectSameAsReference({zxy, other}, {xyz, other}, "rotation the other way, with an index");
    expectSameAsReference({xyz}, {upper}, "names in another case");
    expectSameAsReference({xyz, other}, {other, extra}, "one-sided fields and tables in another order");
    expectSameAsReference({yzx, zxy}, {zxy, yzx}, "the same table twice");
}

TEST(LinearPasses, ThousandsOfDriftedPairsMatchTheReference) {
    std::mt19937 rng(20261208);
    for (int i = 0; i < 3000; ++i) {
        const auto [a, b] = driftedPair(rng);
        expectSameAsReference(a, b, "pair " + std::to_string(i));
        if (HasFatalFailure()) return;
    }
}

}  // namespace
