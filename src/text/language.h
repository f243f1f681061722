// Which of the carried languages to speak, from the user's preferences in the system's notation.
#pragma once

#include <string>
#include <vector>

// The first preference the program carries, as a catalog code; "en" when none matches or a
// preference says "C" or "POSIX" first. Preferences look like "de_AT.UTF-8@euro", "pt-BR", "ru":
// a full code is tried before its language alone.
//   ChooseLanguage({"de_AT.UTF-8"}, {"de", "ru"}) == "de"
std::string ChooseLanguage(const std::vector<std::string>& preferences,
                           const std::vector<std::string>& carried);
