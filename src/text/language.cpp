#include "text/language.h"

#include <algorithm>

namespace {

// "de_AT.UTF-8@euro" -> "de_AT"; "pt-BR" -> "pt_BR"
std::string Normalised(const std::string& preference) {
  std::string code = preference.substr(0, preference.find_first_of(".@"));
  std::replace(code.begin(), code.end(), '-', '_');
  return code;
}

}  // namespace

std::string ChooseLanguage(const std::vector<std::string>& preferences,
                           const std::vector<std::string>& carried) {
  const auto has = [&](const std::string& code) {
    return std::find(carried.begin(), carried.end(), code) != carried.end();
  };
  for (const std::string& p : preferences) {
    const std::string code = Normalised(p);
    if (code.empty()) continue;
    if (code == "C" || code == "POSIX" || code == "en" || code.rfind("en_", 0) == 0) return "en";
    if (has(code)) return code;
    const std::string language = code.substr(0, code.find('_'));
    if (has(language)) return language;
  }
  return "en";
}
