#pragma once
// A row set read completely at open, as a client-side cursor gives it: the
// engines hand out their query results this way.
#include <string>
#include <vector>

#include "DbEngine.h"

namespace dex {

class MaterializedRecordset : public Recordset {
public:
    MaterializedRecordset() = default;  // closed: the statement returned no rows
    MaterializedRecordset(std::vector<std::string> names, std::vector<std::vector<Value>> rows);

    int state() const override { return open_ ? StateOpen : StateClosed; }
    bool eof() const override;
    int fieldCount() const override;
    long recordCount() const override;
    Value field(int index) const override;
    std::string fieldName(int index) const override;
    void moveNext() override;
    void close() override { open_ = false; }

private:
    void requireOpen() const;
    void requireIndex(int index) const;
    bool open_ = false;
    int fields_ = 0;
    std::vector<std::string> names_;
    std::vector<std::vector<Value>> rows_;
    size_t pos_ = 0;
};

}  // namespace dex
