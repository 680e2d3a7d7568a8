#pragma once
// Engine and runtime failures: a signed 32-bit number and a description,
// the way the database engine reports them.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace dex {

// Error numbers the database access layer tells apart.
namespace dberr {
constexpr int32_t NoConnection = 91;
constexpr int32_t ObjectNotFound = 3011;
constexpr int32_t NotValidPassword = 3031;
constexpr int32_t TableLocked = 3261;
constexpr int32_t UnrecognizedFormat = 3343;
constexpr int32_t FileNotFound = 3024;
constexpr int32_t Overflow = 6;
constexpr int32_t SyntaxError = -2147217900;      // 0x80040E14
constexpr int32_t MissingColumn = -2147217904;    // 0x80040E10
constexpr int32_t MissingTable = -2147217865;     // 0x80040E37
constexpr int32_t ConstraintViolation = -2147467259;  // 0x80004005
// Read-only files and row sets, as every engine reports them.
constexpr int32_t ReadOnly = 3027;
constexpr int32_t NoCurrentRecord = 3021;
constexpr int32_t ItemNotFound = 3265;
constexpr int32_t ObjectClosed = 3704;
constexpr int32_t ObjectInvalid = 3420;
}  // namespace dberr

class DbError : public std::runtime_error {
public:
    DbError(int32_t number, std::string description)
        : std::runtime_error(description), number_(number), description_(std::move(description)) {}
    int32_t number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }

private:
    int32_t number_;
    std::string description_;
};

}  // namespace dex
