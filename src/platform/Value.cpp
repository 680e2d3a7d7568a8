#include <charconv>
#include <cmath>

#include "DbEngine.h"

namespace dex {

std::string valueToText(const Value& v) {
    if (std::holds_alternative<std::monostate>(v)) return {};
    if (auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
    if (auto* d = std::get_if<double>(&v)) {
        if (std::isfinite(*d) && std::trunc(*d) == *d && std::fabs(*d) < 1e15)
            return std::to_string(static_cast<int64_t>(*d));
        char buf[64];
        auto res = std::to_chars(buf, buf + sizeof buf, *d);
        return std::string(buf, res.ptr);
    }
    return std::get<std::string>(v);
}

}  // namespace dex
