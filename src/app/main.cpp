// quarrow2excel: the window that finds a Quarrow tester, reads its archive and exports it.
#include "platform/main_thread.h"
#include "program.h"
#include "serial/srclasses.h"
#include "ui/qt/qt_binding.h"

int main(int argc, char** argv) {
  qtui::TApp app(argc, argv);
  app.SetTitle(kProgramTitle);
  qtui::TFactory factory(app);
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
  form.Form->Show();
  app.Run();
  window = nullptr;
  SetSerialErrorBox({});
  return 0;
}
