#include "program.h"

#include "base/version.h"
#include "platform/language/console_text.h"
#include "platform/language/locale_settings.h"
#include "platform/language/user_language.h"
#include "platform/process/main_thread.h"
#include "serial/srclasses.h"
#include "sheetexport/sheet_system.h"
#include "text/language.h"
#include "text/string_table.h"

namespace {

class TSinglePort : public TsrDeviceDatabase {
 public:
  explicit TSinglePort(std::string path) : path_(std::move(path)) {}
  std::vector<TsrPortMapEntry> PortMap() override { return {}; }
  std::vector<TsrDevice> EnumerationRecords(bool) override {
    TsrDevice d;
    d.PortName = path_;
    d.NameFriendly = path_;
    d.Service = "FTSER2K";
    d.Description = "port given on the command line";
    return {d};
  }

 private:
  std::string path_;
};

}  // namespace

TMainServices SystemServices(std::function<void(const std::string&)> tellUser, TDesktopUse use) {
  TMainServices s;
  s.Registry = CreateRegistry;
  s.Format = std::make_shared<FormatSettings>(LoadSystemFormatSettings());
  s.Sheets =
      CreateSystemSheetSystem({*s.Format, std::move(tellUser), use == TDesktopUse::HandOver});
  return s;
}

int RunWindow(TApplication& app, TElementFactory& factory, TWindowProgram program) {
  app.SetTitle(Str(TS::Caption));
  SetSerialErrorBox([&app](const std::string& text) {
    app.ShowException(std::make_exception_ptr(Exception(text)));
  });
  TForm_Main* window = nullptr;
  TMainServices services = SystemServices(
      [&window](const std::string& text) {
        if (window) window->ShowInfo(text, Str(TS::Information), "SystemDefault");
      },
      TDesktopUse::HandOver);
  services.WatchDevices = true;
  {
    TForm_Main form(factory, std::move(services));
    window = &form;
    if (program.Wire) program.Wire(form);
    form.Form->Show();
    if (program.Claim) {
      void* handle = program.SystemHandle ? program.SystemHandle(*form.Form) : nullptr;
      // Asked on the claim's thread; once the loop has ended nothing runs any more.
      program.Claim->Attach(handle, [&form] {
        if (auto* main = TMainThread::Current())
          main->Synchronize([&form] { form.Form->BringToFront(); });
      });
    }
    app.Run();
    program.Claim.reset();  // before the window it brings forward
    window = nullptr;
  }
  SetSerialErrorBox({});
  return 0;
}

void UseUserLanguage(const std::string& requested) {
  const std::vector<std::string> wanted =
      requested.empty() ? UserLanguagePreferences() : std::vector<std::string>{requested};
  UseLanguage(ChooseLanguage(wanted, TStringTable::Languages()));
}

std::shared_ptr<TsrDeviceDatabase> SinglePortDevices(const std::string& path) {
  return std::make_shared<TSinglePort>(path);
}

std::optional<int> AnswerWindowOptions(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      PrintText(TStream::Output, Str(TS::WindowUsage));
      return 0;
    }
    if (a == "--version") {
      PrintText(TStream::Output, std::string(kWindowProgram) + " " + kProgramVersion + "\n");
      return 0;
    }
  }
  return std::nullopt;
}

int ReportRunningWindow(bool raised) {
  PrintText(TStream::Error, std::string(kWindowProgram) + ": " +
                                Str(raised ? TS::AlreadyRunningRaised : TS::AlreadyRunning) + "\n");
  return 0;
}
