// The desktop shell: special folders, system sounds and opening a file in its default program.
// All calls are thread-safe and return at once (sounds and programs are started, not awaited).
#pragma once

#include <functional>
#include <string>

constexpr int CSIDL_PERSONAL = 5;  // the user's documents folder

// The path of a special folder, created when missing; empty when the shell knows no such folder.
// On Linux only the documents folder is known; Windows knows every CSIDL.
std::string GetSpecialPath(int csidl);

// Starts playing the system sound of an alias ("SystemHand": error, "SystemDefault":
// information). False when it cannot be played here, so the caller may beep instead.
bool PlaySystemSound(const std::string& alias);

// Starts the desktop's opener for the file and returns at once, never waiting for the opener or
// the program it starts; false when no opener could be started. Where the opener decides later
// (xdg-open), notOpened runs on a thread of its own when it reports that nothing opened the file.
bool OpenInDefaultProgram(const std::string& path, std::function<void()> notOpened = {});
