// Folders of the user's own in shared places (the runtime folder, or the temporary folder when
// there is none): another user must not be able to plant a link or a file there, so a folder is
// used only when it is the user's with no access for others, inside a folder that only the user
// or the system owns and nobody else may swap it in, and is opened without following a link (nor
// through one that another user planted). POSIX only.
#pragma once

#include <filesystem>

// The folder, opened without following a link in its last step, when it is such a folder; else
// -1 with errno set (EACCES for a folder of the wrong owner or mode).
int OpenPrivateFolder(const std::filesystem::path& folder);
// Creates the folder and any missing folder above it for the user alone; an existing one stays
// as it is. Throws EOSError when one cannot be made.
void CreatePrivateFolders(const std::filesystem::path& folder);
