// quarrow2excel.exe: the window that finds a Quarrow tester, reads its archive and exports it,
// on the Win32 binding.
#include "program.h"
#include "ui/win32/win32_binding.h"

int main() {
  win32ui::TApp app;
  win32ui::TFactory factory(app);
  return RunWindow(app, factory, [](TForm_Main& form) {
    // The system broadcasts WM_DEVICECHANGE to the window itself.
    dynamic_cast<win32ui::TForm&>(*form.Form).OnDeviceChange = [&form] { form.WMDeviceChange(); };
  });
}
