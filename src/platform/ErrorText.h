#pragma once
// The message frame of a procedure's error handler:
// "Error N (D) in procedure P of Module M" / "... of Form Form1".
#include <cstdint>
#include <string>

namespace dex {

// Number given to failures that carry none of their own (E_FAIL).
constexpr int32_t kRuntimeErrorNumber = -2147467259;

// The owner the window's procedures name.
inline constexpr const char* kFormOwner = "Form Form1";

// owner is "Module modCmpDB", "Form Form1" ... (a module's owner is
// "Module " and the module's name).
inline std::string errorFrame(int32_t number, const std::string& description, const std::string& procedure,
                              const std::string& owner) {
    return "Error " + std::to_string(number) + " (" + description + ") in procedure " + procedure + " of " +
           owner;
}

}  // namespace dex
