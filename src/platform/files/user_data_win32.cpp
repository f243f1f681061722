// The user's data folder on Windows: the local application data of the user's profile, which
// the profile's access rules already keep to the user.
#include <windows.h>

#include <shlobj.h>

#include "base/exceptions.h"
#include "base/utf8_path.h"
#include "platform/files/user_data.h"
#include "platform/language/utf16_win32.h"

namespace fs = std::filesystem;

fs::path UserDataFolder() {
  PWSTR local = nullptr;
  const HRESULT hr = SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &local);
  if (FAILED(hr)) {
    CoTaskMemFree(local);
    throw EOSError("LOCALAPPDATA: " + Win32ErrorText(static_cast<unsigned long>(hr)),
                   static_cast<unsigned>(hr));
  }
  const fs::path folder = fs::path(local) / L"VORNEX" / L"Quarrow2Excel";
  CoTaskMemFree(local);
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) throw EOSError(PathUtf8(folder) + ": " + ec.message(), static_cast<unsigned>(ec.value()));
  return folder;
}

void CreatePrivateFile(const fs::path& file) {
  const HANDLE h = CreateFileW(file.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return;
  }
  const DWORD e = GetLastError();
  if (e != ERROR_FILE_EXISTS)
    throw EOSError(PathUtf8(file) + ": " + Win32ErrorText(e), static_cast<unsigned>(e));
}
