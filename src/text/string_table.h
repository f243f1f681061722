// Every text the user can see, in the language the program speaks. The English texts live in
// strings.def; translations come from the catalogs under po/, compiled into the program.
//
//   L_State->SetCaption(Str(TS::WaitingForDevice));
//   ShowInfo(Str(TS::RecordsOfTotal, {std::to_string(n), std::to_string(total)}), ...);
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class TS : std::uint16_t {
#define Q2E_STRING(id, text) id,
#define Q2E_STRING_CTX(id, context, text) id,
#include "text/strings.def"
#undef Q2E_STRING
#undef Q2E_STRING_CTX
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

  const std::string& Text(TS id) const { return texts_[static_cast<std::size_t>(id)]; }
  const std::string& Language() const { return language_; }
  // Entries the language's catalog lacks, which stay English.
  std::vector<TS> Untranslated() const;

 private:
  TStringTable() = default;
  std::string language_;
  std::vector<std::string> texts_;
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
