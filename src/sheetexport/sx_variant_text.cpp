#include "sheetexport/sx_variant_text.h"

#include <charconv>

namespace {
std::string FloatText(double v) {
  char buf[40];  // "%.15g" in the C locale, whatever locale the process has
  return {buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15).ptr};
}
}  // namespace

std::string VarToStr(const TVariant& value) {
  struct Visitor {
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(std::int64_t v) const { return std::to_string(v); }
    std::string operator()(double v) const { return FloatText(v); }
    std::string operator()(const std::string& v) const { return v; }
    std::string operator()(bool v) const { return v ? "True" : "False"; }
    std::string operator()(TDateTime v) const { return FloatText(v.Value); }
  };
  return std::visit(Visitor{}, value);
}
