#include "MaterializedRecordset.h"

namespace dex {

MaterializedRecordset::MaterializedRecordset(std::vector<std::string> names, std::vector<std::vector<Value>> rows)
    : open_(true), fields_(static_cast<int>(names.size())), names_(std::move(names)), rows_(std::move(rows)) {}

bool MaterializedRecordset::eof() const { return requireOpen(), pos_ >= rows_.size(); }
int MaterializedRecordset::fieldCount() const { return requireOpen(), fields_; }
long MaterializedRecordset::recordCount() const { return requireOpen(), static_cast<long>(rows_.size()); }

Value MaterializedRecordset::field(int index) const {
    if (eof())
        throw DbError(dberr::NoCurrentRecord,
                      "Either BOF or EOF is True, or the current record has been deleted. Requested "
                      "operation requires a current record.");
    requireIndex(index);
    return rows_[pos_][static_cast<size_t>(index)];
}

std::string MaterializedRecordset::fieldName(int index) const {
    requireOpen();
    requireIndex(index);
    return names_[static_cast<size_t>(index)];
}

void MaterializedRecordset::moveNext() {
    if (eof())
        throw DbError(dberr::NoCurrentRecord, "Either BOF or EOF is True, or the current record has been deleted.");
    ++pos_;
}

void MaterializedRecordset::requireOpen() const {
    if (!open_) throw DbError(dberr::ObjectClosed, "Operation is not allowed when the object is closed.");
}

void MaterializedRecordset::requireIndex(int index) const {
    if (index < 0 || index >= fields_)
        throw DbError(dberr::ItemNotFound,
                      "Item cannot be found in the collection corresponding to the requested name or ordinal.");
}

}  // namespace dex
