#pragma once
// The "Error N (D) in procedure P of Module M" report of the update and
// file-version modules, and the run-time error numbers they raise.
#include <cstdint>
#include <functional>
#include <string>

#include "DbError.h"
#include "Dialogs.h"

namespace dex {

// Caption of every message box these modules show.
inline const std::string kUpdateTitle = "Dexmira";

namespace rterr {
constexpr int32_t Overflow = 6;
constexpr int32_t InvalidCall = 5;
constexpr int32_t TypeMismatch = 13;
constexpr int32_t OutOfMemory = 7;
constexpr int32_t Internal = 51;
constexpr int32_t PathFileAccess = 75;
}  // namespace rterr

// Runs one step of a procedure. An exception becomes the OK box
// "Error N (D) in procedure P of Module M"; returns false after it.
bool RunReported(Dialogs& dialogs, const std::string& procedure, const std::string& module,
                 const std::function<void()>& step);

}  // namespace dex
