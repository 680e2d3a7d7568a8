#include "JetCompact.h"

#include <algorithm>
#include <filesystem>
#include <future>
#include <memory>
#include <set>

#include "DbError.h"
#include "FileSwap.h"
#include "JetCheck.h"
#include "JetDescribe.h"
#include "JetFile.h"
#include "JetFileWriter.h"
#include "JetModel.h"
#include "JetRewrite.h"
#include "KeyCarrier.h"

namespace dex {

using namespace jetfile;

namespace {

DbError cannotCompact(const std::string& path, const std::string& why) {
    return DbError(dberr::UnrecognizedFormat,
                   "'" + path + "' cannot be compacted here: " + why + ". The file was left unchanged.");
}

bool isKeyMismatch(const JetFinding& f) { return f.what.find(", its values make ") != std::string::npos; }
bool isRepeatedKey(const JetFinding& f) { return f.what.find(", which the unique index does not allow") != std::string::npos; }

// What the rewrite must do about each index: carry its keys, or build it
// again from the rows; or why it cannot compact the file.
struct IndexPlan {
    std::set<std::pair<std::string, size_t>> carry;
    std::vector<std::string> repaired, carried;
};

IndexPlan planIndexes(const JetModel& m, const JetCheckReport& report) {
    IndexPlan plan;
    for (const JetModelTable& t : m.tables()) {
        for (size_t i = 0; i < t.def.physicalIndexes.size(); ++i) {
            const std::string name = physicalIndexName(m, t, i);
            std::vector<const JetFinding*> findings;
            for (const JetFinding& f : report.problems)
                if (f.table == t.name && f.index == name) findings.push_back(&f);
            const std::string why = whyIndexNotComputable(m, t, i);
            const std::string where = "table '" + t.name + "', index '" + name + "'";
            if (!findings.empty()) {
                const std::string first = findings.front()->text();
                // The rows themselves repeat the key: no tree built from them can be unique.
                if (const auto repeated = std::find_if(findings.begin(), findings.end(),
                                                       [](const JetFinding* f) { return isRepeatedKey(*f); });
                    repeated != findings.end())
                    throw cannotCompact(m.path(), where + " is unique, but two of its rows have the same key (page " +
                                                      std::to_string((*repeated)->page) + ": " + (*repeated)->what +
                                                      "), so it cannot be rebuilt as a unique index");
                if (std::all_of(findings.begin(), findings.end(), [](const JetFinding* f) { return isKeyMismatch(*f); }))
                    throw cannotCompact(m.path(), where + " is sound, but the keys computed here differ from the file's "
                                                          "own (" + first + ")");
                if (!why.empty())
                    throw cannotCompact(m.path(), where + " is damaged (" + first + ") and cannot be rebuilt here, "
                                                          "as its keys cannot be computed (" + why + ")");
                plan.repaired.push_back(where + ": " + findings.front()->what);
                continue;
            }
            const std::string noted = where + ": keys checked for order and coverage, not recomputed";
            const bool unkeyed = std::any_of(report.notes.begin(), report.notes.end(),
                                             [&](const std::string& n) { return n.rfind(noted, 0) == 0; });
            if (!why.empty() || unkeyed) {
                plan.carry.insert({t.name, i});
                plan.carried.push_back(where);
            }
        }
    }
    for (const JetFinding& f : report.problems)
        if (f.index.empty()) plan.repaired.push_back(f.text());
    return plan;
}

}  // namespace

std::string jetPasswordOf(const std::string& path, const std::vector<std::string>& passwords) {
    std::unique_ptr<DbError> last;
    for (const std::string& pw : passwords) {
        try {
            JetModel::open(path, pw);
            return pw;
        } catch (const DbError& e) {
            if (e.number() != dberr::NotValidPassword) throw;
            last = std::make_unique<DbError>(e);
        }
    }
    if (last) throw *last;
    return {};
}

namespace {

// Indexes whose keys cannot be computed from their columns' types and sort
// orders: their keys are carried over whatever the checker finds.
std::set<std::pair<std::string, size_t>> structurallyCarried(const JetModel& m) {
    std::set<std::pair<std::string, size_t>> out;
    for (const JetModelTable& t : m.tables())
        for (size_t i = 0; i < t.def.physicalIndexes.size(); ++i)
            if (!whyIndexNotComputable(m, t, i).empty()) out.insert({t.name, i});
    return out;
}

}  // namespace

CompactOutcome CompactJetFile(const std::string& path, const std::vector<std::string>& passwords,
                              const std::function<void(const CompactProgress&)>& onProgress) {
    auto swap = std::make_unique<FileSwap>(path);
    const std::string real = swap->path();
    const std::string password = jetPasswordOf(real, passwords);
    const auto file = openJetFile(real, password);
    const JetModel& m = file->model();
    if (m.jet3())
        throw cannotCompact(path, "it is a Jet 3 (Access 97) file, and Jet 3 files are not written");
    CompactOutcome outcome;
    std::error_code ec;
    outcome.sizeBefore = std::filesystem::file_size(real, ec);

    // The checker of the old file runs beside the rewrite (on a model of its
    // own); what it finds decides before anything is put in place.
    if (onProgress) onProgress(CompactProgress{"check", "", 0, 0, 0});
    std::future<JetCheckReport> checking = std::async(std::launch::async, [real, password] {
        const auto own = JetModel::open(real, password);
        return checkJetFile(*own);
    });
    auto attempt = [&](FileSwap& target, const std::set<std::pair<std::string, size_t>>& carry) {
        std::unique_ptr<KeyCarrier> carrier;
        if (!carry.empty()) carrier = std::make_unique<KeyCarrier>(m, carry);
        JetWriteDatabase db;
        try {
            db = describeJetFile(*file);
        } catch (const JetWriteError& e) {
            throw cannotCompact(path, e.what());
        }
        if (carrier) db.keysByValue = carrier->lookup();
        RewriteExpectation expected = expectFromSource(*file);
        RewriteDigests digests;
        watchRows(db, digests);
        return rewriteJetFile(target, path, password, db, digests, expected,
                              [&](const std::string& stage, const std::string& table, int n, int count, uint64_t rows) {
                                  if (onProgress) onProgress(CompactProgress{stage, table, n, count, rows});
                              },
                              [&](const std::string& why) { return cannotCompact(path, why); });
    };
    const auto carry = structurallyCarried(m);
    IndexPlan plan;
    try {
        outcome.rows = attempt(*swap, carry);
        plan = planIndexes(m, checking.get());  // throws when the file cannot be compacted
    } catch (const DbError&) {
        if (checking.valid()) {
            plan = planIndexes(m, checking.get());  // its reasons come first
            // Keys the encoder does not know (characters without a code) are
            // carried over from the old indexes: once more with them.
            if (std::includes(carry.begin(), carry.end(), plan.carry.begin(), plan.carry.end())) throw;
            swap.reset();
            swap = std::make_unique<FileSwap>(path);
            outcome.rows = attempt(*swap, plan.carry);
        } else {
            throw;
        }
    }
    outcome.repaired = plan.repaired;
    outcome.carried = plan.carried;
    outcome.sizeAfter = std::filesystem::file_size(swap->readPath(), ec);
    outcome.backup = swap->commit();
    return outcome;
}

}  // namespace dex
