// The system's calls that the window tests read back with, for test files that cannot include
// <windows.h> beside the serial headers. Windows are HWNDs as void*; keys are below HKCU.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace probe {

struct TRect {
  int left = 0, top = 0, width = 0, height = 0;
};

std::string Text(void* window);     // GetWindowTextW, as UTF-8
TRect PlaceInParent(void* window);  // GetWindowRect in the parent's client area
TRect Client(void* window);         // GetClientRect
void* Parent(void* window);         // GetParent
bool Shown(void* window);           // IsWindowVisible
bool Enabled(void* window);         // IsWindowEnabled
std::intptr_t Send(void* window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
void PostClose(void* window);     // WM_CLOSE, as the title-bar button
void PostClick(void* window);     // BM_CLICK
void* Focus();                    // GetFocus
void PostReturn(void* window);    // the Return key as the user types it
int ComboSelection(void* combo);  // CB_GETCURSEL
bool Checked(void* checkBox);     // BM_GETCHECK
unsigned ProcessId();
unsigned ThreadId();  // the calling thread's

std::optional<std::uint32_t> ReadDword(const std::string& key, const std::string& name);
std::optional<std::string> ReadString(const std::string& key, const std::string& name);
void WriteDword(const std::string& key, const std::string& name, std::uint32_t value);
void DeleteTree(const std::string& key);

// Waits up to ten seconds for the common save dialog of the thread, notes the folder it opened
// in, types the file name and presses Save. False when no dialog came.
bool AnswerSaveDialog(unsigned thread, const std::string& name, std::string& folderShown);

// Waits up to ten seconds for a dialog box of the thread with a combo box showing `shown`,
// chooses `choose` in that box and presses OK, or Cancel. The dialog's title, or none when no
// such dialog came (nor was answered).
std::optional<std::string> AnswerComboDialog(unsigned thread, const std::string& shown,
                                             const std::string& choose, bool ok);

}  // namespace probe
