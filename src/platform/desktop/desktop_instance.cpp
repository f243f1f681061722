#include "platform/desktop/desktop_instance.h"

std::string DesktopClaimName(const std::string& program, const std::string& display) {
  std::string desktop = display;
  // ":0" and ":0.0" are the same desktop: an X display's screen number goes.
  if (const auto colon = desktop.rfind(':'); colon != std::string::npos)
    if (const auto dot = desktop.find('.', colon); dot != std::string::npos) desktop.erase(dot);
  std::string name = program + "-window";
  if (desktop.empty()) return name;
  name += '-';
  for (const char c : desktop) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_';
    name += plain ? c : '_';
  }
  return name;
}
