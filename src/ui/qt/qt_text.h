// Our UTF-8 strings as Qt's text, for every file of the binding. Internal to the binding.
#pragma once

#include <QString>
#include <string>

namespace qtui {

inline QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace qtui
