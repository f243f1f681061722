#include <windows.h>

#include <string>

#include "platform/language/protocol_font.h"

std::filesystem::path ProtocolFontFile() {
  std::wstring module(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
    if (n < module.size()) {
      module.resize(n);
      break;
    }
    module.resize(module.size() * 2);
  }
  return std::filesystem::path(module).parent_path() / L"DejaVuSans.ttf";
}
