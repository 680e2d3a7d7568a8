#include "FakeDb.h"

namespace dex::testing {

void FakeDbState::on(const std::string& sql, FakeAnswer a) { exact.emplace_back(sql, std::move(a)); }

void FakeDbState::onPrefix(const std::string& prefix, FakeAnswer a) {
    prefixes.emplace_back(prefix, std::move(a));
}

FakeAnswer FakeDbState::lookup(const std::string& sql) const {
    if (answer)
        if (auto a = answer(sql)) return *a;
    for (const auto& [text, a] : exact)
        if (text == sql) return a;
    for (const auto& [prefix, a] : prefixes)
        if (sql.compare(0, prefix.size(), prefix) == 0) return a;
    return {};
}

Value FakeRecordset::field(int index) const {
    if (!open_) throw DbError(3704, "Operation is not allowed when the object is closed.");
    if (eof()) throw DbError(3021, "Either BOF or EOF is True, or the current record has been deleted.");
    return rows_[pos_].at(static_cast<size_t>(index));
}

int64_t FakeConnection::execute(const std::string& sql) {
    state_->statements.push_back(sql);
    FakeAnswer a = state_->lookup(sql);
    if (a.error) throw *a.error;
    return a.affected;
}

std::unique_ptr<Recordset> FakeConnection::query(const std::string& sql) {
    state_->statements.push_back(sql);
    FakeAnswer a = state_->lookup(sql);
    if (a.error) throw *a.error;
    return std::make_unique<FakeRecordset>(a.rows);
}

}  // namespace dex::testing
