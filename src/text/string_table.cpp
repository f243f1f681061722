#include "text/string_table.h"

#include "text/embedded_catalogs.h"
#include "text/mo_catalog.h"

namespace {

struct TEntry {
  const char* context;
  const char* text;
  const char* plural;  // a counted entry's English plural; nullptr for others
};

constexpr TEntry kEntries[] = {
#define Q2E_STRING(id, text) {nullptr, text, nullptr},
#define Q2E_STRING_CTX(id, context, text) {context, text, nullptr},
#define Q2E_PLURAL(id, one, other) {nullptr, one, other},
#include "text/strings.def"
#undef Q2E_STRING
#undef Q2E_STRING_CTX
#undef Q2E_PLURAL
};
static_assert(std::size(kEntries) == static_cast<std::size_t>(TS::Count_));

// gettext keeps a context before its text, split by EOT.
std::string CatalogKey(const TEntry& e) {
  return e.context ? std::string(e.context) + '\x04' + e.text : std::string(e.text);
}

std::unique_ptr<TStringTable> current;

}  // namespace

const TStringTable& TStringTable::English() {
  static const TStringTable table = [] {
    TStringTable t;
    t.language_ = "en";
    for (const TEntry& e : kEntries) {
      t.texts_.push_back({e.text});
      if (e.plural) t.texts_.back().emplace_back(e.plural);
    }
    t.translated_.assign(t.texts_.size(), true);
    return t;
  }();
  return table;
}

std::unique_ptr<TStringTable> TStringTable::ForLanguage(std::string_view code) {
  for (const TEmbeddedCatalog& c : EmbeddedCatalogs()) {
    if (code != c.Language) continue;
    TMoCatalog catalog;
    if (!catalog.Parse(c.Data, c.Size)) return nullptr;
    std::unique_ptr<TStringTable> t(new TStringTable(English()));
    t->translated_.assign(t->texts_.size(), false);
    t->language_ = c.Language;
    // A catalog without a rule it states keeps English's, and its counted entries stay English.
    const auto rule = TPluralRule::Parse(catalog.PluralForms());
    if (rule) t->plural_ = *rule;
    for (std::size_t i = 0; i < std::size(kEntries); ++i) {
      const std::vector<std::string>* forms = catalog.Find(CatalogKey(kEntries[i]));
      if (!forms) continue;
      if (kEntries[i].plural && (!rule || forms->size() != rule->Forms())) continue;
      if (!kEntries[i].plural && forms->size() != 1) continue;
      t->texts_[i] = *forms;
      t->translated_[i] = true;
    }
    return t;
  }
  return nullptr;
}

const std::string& TStringTable::Text(TS id, std::uint64_t n) const {
  const auto i = static_cast<std::size_t>(id);
  const std::vector<std::string>& forms = texts_[i];
  // An entry the catalog lacks stays English, with English's rule.
  const unsigned form = translated_[i] ? plural_.Index(n) : TPluralRule().Index(n);
  return form < forms.size() ? forms[form] : forms.front();
}

bool TStringTable::Counted(TS id) {
  return kEntries[static_cast<std::size_t>(id)].plural != nullptr;
}

std::vector<TS> TStringTable::Untranslated() const {
  std::vector<TS> missing;
  for (std::size_t i = 0; i < translated_.size(); ++i)
    if (!translated_[i]) missing.push_back(static_cast<TS>(i));
  return missing;
}

std::vector<std::string> TStringTable::Languages() {
  std::vector<std::string> codes;
  for (const TEmbeddedCatalog& c : EmbeddedCatalogs()) codes.emplace_back(c.Language);
  return codes;
}

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string out;
  out.reserve(pattern.size() + 16);
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 1] >= '1' &&
        pattern[i + 1] <= '9' && pattern[i + 2] == '}') {
      const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
      if (n < values.size()) {
        out += values.begin()[n];
        i += 2;
        continue;
      }
    }
    out += pattern[i];
  }
  return out;
}

std::vector<int> TextPlaces(std::string_view pattern) {
  std::vector<int> places;
  for (std::size_t i = 0; i + 2 < pattern.size(); ++i) {
    if (pattern[i] == '{' && pattern[i + 1] >= '1' && pattern[i + 1] <= '9' &&
        pattern[i + 2] == '}') {
      const int n = pattern[i + 1] - '0';
      auto it = places.begin();
      while (it != places.end() && *it < n) ++it;
      if (it == places.end() || *it != n) places.insert(it, n);
    }
  }
  return places;
}

void UseLanguage(std::string_view code) {
  current = TStringTable::ForLanguage(code);
}

const TStringTable& Strings() {
  return current ? *current : TStringTable::English();
}

std::string StrN(TS id, std::uint64_t n) {
  return FormatText(Strings().Text(id, n), {std::to_string(n)});
}

std::string StrN(TS id, std::uint64_t n, std::initializer_list<std::string_view> values) {
  return FormatText(Strings().Text(id, n), values);
}
