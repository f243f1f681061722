// quarrow2excel.exe: the window that finds a Quarrow tester, reads its archive and exports it,
// on the Win32 binding.
#include "platform/main_thread.h"
#include "program.h"
#include "serial/srclasses.h"
#include "ui/win32/win32_binding.h"

int main() {
  win32ui::TApp app;
  app.SetTitle(kProgramTitle);
  win32ui::TFactory factory(app);
  SetSerialErrorBox([&app](const std::string& text) {
    app.ShowException(std::make_exception_ptr(Exception(text)));
  });

  TForm_Main* window = nullptr;
  TMainServices services = SystemServices([&window](const std::string& text) {
    if (window) window->ShowInfo(text, "Information", "SystemDefault");
  });
  services.WatchDevices = true;
  TForm_Main form(factory, std::move(services));
  window = &form;
  // The system broadcasts WM_DEVICECHANGE to the window itself.
  dynamic_cast<win32ui::TForm&>(*form.Form).OnDeviceChange = [&form] { form.WMDeviceChange(); };
  form.Form->Show();
  app.Run();
  window = nullptr;
  SetSerialErrorBox({});
  return 0;
}
