// The window program's main window, for the tests that start the real program.
#pragma once

#include <windows.h>

// The process's unowned, shown form; nullptr while it has none.
HWND MainWindowOf(DWORD process);
