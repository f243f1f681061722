// The user's language preferences as the system states them, most wanted first.
#pragma once

#include <string>
#include <vector>

// Linux: the list in LANGUAGE (unless the messages locale is C or POSIX, as gettext has it),
// then the first set of LC_ALL, LC_MESSAGES, LANG. Windows: the user's display languages.
std::vector<std::string> UserLanguagePreferences();
