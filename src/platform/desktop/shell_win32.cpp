// The Windows shell: special folders by CSIDL, system sound aliases, ShellExecuteW.
// Before <shlobj.h>, whose CSIDL_PERSONAL macro would rename our constant.
#include "platform/desktop/shell.h"

#include <windows.h>

#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>

#include "platform/language/utf16_win32.h"

std::string GetSpecialPath(int csidl) {
  wchar_t path[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathW(nullptr, path, csidl, TRUE)) return "";
  return Narrow(path);
}

bool PlaySystemSound(const std::string& alias) {
  // Without SND_NODEFAULT an unknown alias would play the default sound and report success.
  return PlaySoundW(Widen(alias).c_str(), nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT) != FALSE;
}

// The shell decides at once (SE_ERR_NOASSOC where nothing is registered for the type) and
// starts the program without waiting for it, so notOpened is never needed here. The default
// verb is the one the registered program put first.
bool OpenInDefaultProgram(const std::string& path, std::function<void()>) {
  const HINSTANCE r =
      ShellExecuteW(nullptr, nullptr, Widen(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(r) > 32;
}
