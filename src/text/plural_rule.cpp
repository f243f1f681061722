#include "text/plural_rule.h"

#include <cctype>

namespace {

// Recursive descent over the expression, with C's precedence; each call evaluates it anew (the
// expressions are a few dozen characters).
class TEvaluator {
 public:
  TEvaluator(std::string_view text, std::uint64_t n) : s_(text), n_(n) {}

  // The value, or none when the text is not one whole expression.
  std::optional<std::uint64_t> Whole() {
    const std::uint64_t v = Conditional();
    Skip();
    if (bad_ || at_ != s_.size()) return std::nullopt;
    return v;
  }

 private:
  void Skip() {
    while (at_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[at_]))) ++at_;
  }
  bool Take(std::string_view token) {
    Skip();
    if (s_.substr(at_, token.size()) != token) return false;
    // "<" is not the start of "<=", nor "!" of "!=".
    if (token.size() == 1 && at_ + 1 < s_.size() && s_[at_ + 1] == '=' &&
        (token == "<" || token == ">" || token == "!" || token == "="))
      return false;
    at_ += token.size();
    return true;
  }

  std::uint64_t Conditional() {
    const std::uint64_t c = Or();
    if (!Take("?")) return c;
    const std::uint64_t a = Conditional();
    if (!Take(":")) bad_ = true;
    const std::uint64_t b = Conditional();
    return c ? a : b;
  }
  std::uint64_t Or() {
    std::uint64_t v = And();
    while (Take("||")) v = (And() != 0) | (v != 0);
    return v;
  }
  std::uint64_t And() {
    std::uint64_t v = Equality();
    while (Take("&&")) v = (Equality() != 0) & (v != 0);
    return v;
  }
  std::uint64_t Equality() {
    std::uint64_t v = Relation();
    for (;;) {
      if (Take("=="))
        v = v == Relation();
      else if (Take("!="))
        v = v != Relation();
      else
        return v;
    }
  }
  std::uint64_t Relation() {
    std::uint64_t v = Sum();
    for (;;) {
      if (Take("<="))
        v = v <= Sum();
      else if (Take(">="))
        v = v >= Sum();
      else if (Take("<"))
        v = v < Sum();
      else if (Take(">"))
        v = v > Sum();
      else
        return v;
    }
  }
  std::uint64_t Sum() {
    std::uint64_t v = Product();
    for (;;) {
      if (Take("+"))
        v += Product();
      else if (Take("-"))
        v -= Product();
      else
        return v;
    }
  }
  std::uint64_t Product() {
    std::uint64_t v = Unary();
    for (;;) {
      const bool times = Take("*"), divide = !times && Take("/"),
                 rest = !times && !divide && Take("%");
      if (!times && !divide && !rest) return v;
      const std::uint64_t w = Unary();
      if (times)
        v *= w;
      else if (w == 0)
        bad_ = true;
      else
        v = divide ? v / w : v % w;
    }
  }
  std::uint64_t Unary() {
    if (Take("!")) return Unary() == 0;
    Skip();
    if (Take("(")) {
      const std::uint64_t v = Conditional();
      if (!Take(")")) bad_ = true;
      return v;
    }
    if (at_ < s_.size() && s_[at_] == 'n') {
      ++at_;
      return n_;
    }
    if (at_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[at_]))) {
      std::uint64_t v = 0;
      while (at_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[at_])))
        v = v * 10 + static_cast<std::uint64_t>(s_[at_++] - '0');
      return v;
    }
    bad_ = true;
    return 0;
  }

  std::string_view s_;
  std::uint64_t n_;
  std::size_t at_ = 0;
  bool bad_ = false;
};

// The text after "name=" up to the next ";" (or the end), trimmed; none when absent.
std::optional<std::string_view> Field(std::string_view text, std::string_view name) {
  for (std::size_t at = text.find(name); at != std::string_view::npos;
       at = text.find(name, at + 1)) {
    std::size_t p = at + name.size();
    while (p < text.size() && text[p] == ' ') ++p;
    if (p >= text.size() || text[p] != '=') continue;
    const std::size_t end = text.find(';', p);
    std::string_view v = text.substr(p + 1, end == std::string_view::npos ? end : end - p - 1);
    while (!v.empty() && std::isspace(static_cast<unsigned char>(v.front()))) v.remove_prefix(1);
    while (!v.empty() && std::isspace(static_cast<unsigned char>(v.back()))) v.remove_suffix(1);
    return v;
  }
  return std::nullopt;
}

}  // namespace

std::optional<TPluralRule> TPluralRule::Parse(std::string_view pluralForms) {
  const auto forms = Field(pluralForms, "nplurals");
  const auto expression = Field(pluralForms, "plural");
  if (!forms || !expression || forms->size() != 1 || (*forms)[0] < '1' || (*forms)[0] > '6')
    return std::nullopt;
  if (!TEvaluator(*expression, 0).Whole()) return std::nullopt;
  TPluralRule rule;
  rule.forms_ = static_cast<unsigned>((*forms)[0] - '0');
  rule.expression_ = std::string(*expression);
  return rule;
}

unsigned TPluralRule::Index(std::uint64_t n) const {
  const auto v = TEvaluator(expression_, n).Whole();
  return v && *v < forms_ ? static_cast<unsigned>(*v) : 0;
}
