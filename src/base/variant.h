// The tagged value in which data pipes hand cell values over: empty, integer, floating point,
// text (UTF-8), boolean or date-time.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "datetime.h"

using TVariant = std::variant<std::monostate, std::int64_t, double, std::string, bool, TDateTime>;

inline bool VarIsEmpty(const TVariant& v) {
  return std::holds_alternative<std::monostate>(v);
}
