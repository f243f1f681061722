// Every text the user can see, in the language the program speaks. The English texts live in
// strings.def; translations come from the catalogs under po/, compiled into the program.
//
//   L_State->SetCaption(Str(TS::WaitingForDevice));
//   ShowInfo(Str(TS::CannotOpenFile, {path}), ...);
// A text that counts something is a plural entry, Q2E_PLURAL in strings.def, and is taken with
// the count, which picks the form the language's grammar wants:
//   L_State->SetCaption(StrN(TS::RecordsReceived, n));  // "1 record received.", "3 records ..."
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "text/plural_rule.h"

enum class TS : std::uint16_t {
#define Q2E_STRING(id, text) id,
#define Q2E_STRING_CTX(id, context, text) id,
#define Q2E_PLURAL(id, one, other) id,
#include "text/strings.def"
#undef Q2E_STRING
#undef Q2E_STRING_CTX
#undef Q2E_PLURAL
  Count_
};

// One language's texts for every entry of the table; entries a catalog lacks stay English.
class TStringTable {
 public:
  // The table's own texts.
  static const TStringTable& English();
  // The table in a language the program carries ("de", "ru", ...); nullptr for any other.
  static std::unique_ptr<TStringTable> ForLanguage(std::string_view code);
  // The languages the program carries besides English, in the order they were built in.
  static std::vector<std::string> Languages();

  // The text; of a counted entry, its first form.
  const std::string& Text(TS id) const { return texts_[static_cast<std::size_t>(id)].front(); }
  // The form of the text that suits the count n in this language.
  const std::string& Text(TS id, std::uint64_t n) const;
  // Whether the entry is a counted one (Q2E_PLURAL), to be taken with StrN.
  static bool Counted(TS id);
  // Its forms: one, or as many as the language has for a counted entry.
  const std::vector<std::string>& Forms(TS id) const {
    return texts_[static_cast<std::size_t>(id)];
  }
  const std::string& Language() const { return language_; }
  // Entries the language's catalog lacks, which stay English.
  std::vector<TS> Untranslated() const;

 private:
  TStringTable() = default;
  std::string language_;
  TPluralRule plural_;
  std::vector<std::vector<std::string>> texts_;
  std::vector<bool> translated_;
};

// Puts values into a text's numbered places {1}, {2}, ... (a translation may reorder them).
// A place without a value is left as it stands.
std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> values);

// The numbers of the places a text uses, ascending and without repeats ("{2} of {1}" -> 1, 2).
std::vector<int> TextPlaces(std::string_view pattern);

// Chooses the program's language once at start; until then, and for any unknown code, English.
void UseLanguage(std::string_view code);
// The table the program speaks in.
const TStringTable& Strings();

inline const std::string& Str(TS id) {
  return Strings().Text(id);
}
inline std::string Str(TS id, std::initializer_list<std::string_view> values) {
  return FormatText(Str(id), values);
}

// The form of a counted entry that suits n, with its places filled: {1} with n, or with values
// where given (StrN(TS::ReadingStopped, total, {done, total}) counts the second place).
std::string StrN(TS id, std::uint64_t n);
std::string StrN(TS id, std::uint64_t n, std::initializer_list<std::string_view> values);
