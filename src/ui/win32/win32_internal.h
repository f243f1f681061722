// What the binding's two files share; included after <windows.h>.
#pragma once

namespace win32ui {

// The window classes of the forms and panels (once per process).
void RegisterClasses();
// Whether the window is a form of this binding.
bool IsFormWindow(HWND hwnd);

}  // namespace win32ui
