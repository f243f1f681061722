#include <cstdlib>
#include <string>

#include "platform/language/user_language.h"

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

}  // namespace

std::vector<std::string> UserLanguagePreferences() {
  std::string locale = Env("LC_ALL");
  if (locale.empty()) locale = Env("LC_MESSAGES");
  if (locale.empty()) locale = Env("LANG");
  if (locale.empty() || locale == "C" || locale == "POSIX") return {"C"};
  std::vector<std::string> list;
  const std::string language = Env("LANGUAGE");
  for (std::size_t start = 0; start <= language.size();) {
    const std::size_t end = std::min(language.find(':', start), language.size());
    if (end > start) list.push_back(language.substr(start, end - start));
    start = end + 1;
  }
  list.push_back(locale);
  return list;
}
