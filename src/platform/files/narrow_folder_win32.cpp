// The current folder stands in for the folder's name, which the ANSI code page may not spell.
#include <windows.h>

#include "base/exceptions.h"
#include "platform/files/atomic_file.h"
#include "platform/files/narrow_folder.h"

TNarrowFolder::TNarrowFolder(const std::filesystem::path& folder) : spelling_(".") {
  std::wstring previous(GetCurrentDirectoryW(0, nullptr), L'\0');
  previous.resize(GetCurrentDirectoryW(static_cast<DWORD>(previous.size()), previous.data()));
  if (!folder.empty() && !SetCurrentDirectoryW(folder.c_str())) {
    const DWORD code = GetLastError();
    throw EOSError(CannotCreateFileText(folder, SysErrorMessage(static_cast<int>(code))), code);
  }
  previous_ = previous;
}

TNarrowFolder::~TNarrowFolder() {
  if (!previous_.empty()) SetCurrentDirectoryW(previous_.c_str());
}

std::string TNarrowFolder::Name(const std::string& asciiName) const {
  return asciiName;
}
