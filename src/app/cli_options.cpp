#include "cli_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "base/exceptions.h"
#include "text/language.h"
#include "text/string_table.h"

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// English, or a language the program carries; "C" and "POSIX" are English as in the locale.
bool KnownLanguage(const std::string& code) {
  const std::string l = Lower(code);
  return l == "en" || l.rfind("en_", 0) == 0 || l.rfind("en-", 0) == 0 || l == "c" ||
         l == "posix" || ChooseLanguage({code}, TStringTable::Languages()) != "en";
}

std::string LanguageList() {
  std::string list = "en";
  for (const auto& l : TStringTable::Languages()) list += ", " + l;
  return list;
}

}  // namespace

std::string CliUsage() {
  return Str(TS::CliUsage);
}

std::optional<int> ParseUnit(const std::string& text) {
  std::string u = Lower(text);
  for (std::size_t p; (p = u.find("\xC2\xB2")) != std::string::npos;) u.replace(p, 2, "2");
  const char* const names[] = {"mpa", "kg/cm2", "n/mm2", "psi"};
  for (int i = 0; i < 4; ++i)
    if (u == names[i]) return i;
  return std::nullopt;
}

TCliOptions ParseCliOptions(const std::vector<std::string>& args) {
  TCliOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw Exception(Str(TS::OptionNeedsValue, {a}));
      return args[++i];
    };
    if (a == "--help" || a == "-h") {
      o.Help = true;
    } else if (a == "--version") {
      o.Version = true;
    } else if (a == "--port") {
      o.Port = value();
      if (o.Port.empty()) throw Exception(Str(TS::PortNeedsPath));
    } else if (a == "--unit") {
      const std::string& v = value();
      const auto unit = ParseUnit(v);
      if (!unit) throw Exception(Str(TS::UnknownUnit, {v}));
      o.Unit = *unit;
    } else if (a == "--singles") {
      o.Singles = true;
    } else if (a == "--no-singles") {
      o.Singles = false;
    } else if (a == "--text") {
      o.Text = value();
      if (o.Text.empty()) throw Exception(Str(TS::OptionNeedsFile, {a}));
    } else if (a == "--xlsx") {
      o.Xlsx = value();
      if (o.Xlsx.empty()) throw Exception(Str(TS::OptionNeedsFile, {a}));
    } else if (a == "--pdf") {
      o.Pdf = value();
      if (o.Pdf.empty()) throw Exception(Str(TS::OptionNeedsFile, {a}));
    } else if (a == "--csv") {
      o.Csv = value();
      if (o.Csv.empty()) throw Exception(Str(TS::OptionNeedsFile, {a}));
    } else if (a == "--timeout") {
      const std::string& v = value();
      unsigned seconds = 0;
      const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), seconds);
      if (ec != std::errc() || end != v.data() + v.size() || seconds == 0 || seconds > 86400)
        throw Exception(Str(TS::BadTimeout, {v}));
      o.TimeoutSeconds = seconds;
    } else if (a == "--list-readings") {
      o.ListReadings = true;
    } else if (a == "--reading") {
      const std::string& v = value();
      std::int64_t id = 0;
      const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), id);
      if (ec != std::errc() || end != v.data() + v.size() || id <= 0)
        throw Exception(Str(TS::BadReadingId, {v}));
      o.Reading = id;
    } else if (a == "--readings") {
      o.ReadingsFile = value();
      if (o.ReadingsFile.empty()) throw Exception(Str(TS::OptionNeedsFile, {a}));
    } else if (a == "--no-store") {
      o.NoStore = true;
    } else if (a == "--lang") {
      o.Language = value();
      if (!KnownLanguage(o.Language))
        throw Exception(Str(TS::UnknownLanguage, {o.Language, LanguageList()}));
    } else {
      throw Exception(Str(TS::UnknownOption, {a}));
    }
  }
  return o;
}
