// Which of a language's plural forms a count takes, as a catalog's Plural-Forms header states it
// ("nplurals=3; plural=(n%10==1 && n%100!=11 ? 0 : ...);"), evaluated as gettext does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class TPluralRule {
 public:
  // English and the default: one form for 1, another for every other count.
  TPluralRule() = default;
  // The rule of a header's Plural-Forms value; none when it does not parse as C arithmetic
  // over n with a form count of 1 to 6.
  static std::optional<TPluralRule> Parse(std::string_view pluralForms);

  unsigned Forms() const { return forms_; }
  // The form for n; a rule that answers past its forms gives the first, as gettext does.
  unsigned Index(std::uint64_t n) const;

 private:
  unsigned forms_ = 2;
  std::string expression_ = "n != 1";
};
