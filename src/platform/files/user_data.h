// Where the program keeps the user's own data (the store of earlier readings): a folder of the
// user, created when missing and readable by the user alone where the system has modes.
#pragma once

#include <filesystem>

// $XDG_DATA_HOME/quarrow2excel (~/.local/share/quarrow2excel) on Linux,
// %LOCALAPPDATA%\VORNEX\Quarrow2Excel on Windows. Throws EOSError when it cannot be created.
std::filesystem::path UserDataFolder();

// Creates file empty when nothing stands there, readable and writable by the user alone;
// an existing file is left as it is. Throws EOSError when it cannot be created.
void CreatePrivateFile(const std::filesystem::path& file);
