#include "cli_reader.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "app/port_check.h"
#include "app/program.h"
#include "base/utf8_path.h"
#include "platform/settings/registry.h"
#include "text/string_table.h"
#include "ui/headless/headless.h"

namespace {

std::string OneLine(const std::string& text) {
  std::string line;
  for (std::size_t at = 0, p; at <= text.size(); at = p + 2) {
    p = std::min(text.find("\r\n", at), text.size());
    line.append(text, at, p - at);
    if (p < text.size()) line += ' ';
  }
  return line;
}

// The status line without the window's prompt to pick a unit and save, which a terminal user
// answers with options.
std::string WithoutPrompt(std::string text) {
  const std::string prompt = "\r\n" + Str(TS::SelectUnitAndSave);
  if (const auto p = text.find(prompt); p != std::string::npos) text.erase(p, prompt.size());
  return text;
}

// The reader's settings are its options: they go into a store of its own, never the window's.
void StoreOptions(const TCliOptions& o) {
  auto reg = CreateMemoryRegistry();
  reg->SetRootKey(TRootKey::CurrentUser);
  if (!reg->OpenKey(TForm_Main::SettingsKey, true)) return;
  reg->WriteInteger("Unit", o.Unit);
  reg->WriteBool("Singles", o.Singles);
  std::error_code ec;
  reg->WriteString("DefPath", PathUtf8(std::filesystem::current_path(ec)));
}

// Echoes the status line. The progress of a reading changes with every record: it is shown at
// most five times a second (and always its last state), so that a slow reader of the output
// never holds up the reading long enough for the watchdog to give it up.
class TStatusEcho {
 public:
  explicit TStatusEcho(const std::function<void(const std::string&)>& say) : say_(say) {}
  void operator()(const std::string& text) {
    const auto now = std::chrono::steady_clock::now();
    if (text.rfind(Str(TS::Receiving), 0) == 0) {
      if (now - last_ < std::chrono::milliseconds(200)) {
        held_ = text;
        return;
      }
      last_ = now;
    } else if (!held_.empty()) {
      say_(held_);
    }
    held_.clear();
    say_(text);
  }

 private:
  const std::function<void(const std::string&)>& say_;
  std::chrono::steady_clock::time_point last_{};
  std::string held_;
};

std::string FailureText() {
  const auto text = ErrorReportText(std::current_exception());
  return text ? *text : Str(TS::OperationAborted);
}

std::filesystem::path ReadingsFileOf(const TCliOptions& o) {
  return o.ReadingsFile.empty() ? UserReadingsFile() : Utf8Path(o.ReadingsFile);
}

}  // namespace

int ListReadings(const TCliOptions& o, const std::function<void(const std::string&)>& out,
                 const std::function<void(const std::string&)>& say) {
  try {
    TReadingStore store(ReadingsFileOf(o));
    if (const auto aside = store.TakeMovedAside())
      say(Str(TS::StoreMovedAside, {PathUtf8(*aside)}));
    for (const TReadingRow& r : store.List())
      out(std::to_string(r.Id) + '\t' + StoreTimeText(r.Info.ReadAt) + '\t' + r.Info.Port + '\t' +
          std::to_string(r.Records) + '\t' + std::to_string(r.NewRecords));
    return kExitOk;
  } catch (const EOSError& e) {
    say(Str(TS::ReadingsNotShown, {e.Message()}));
  } catch (const EStoreError& e) {
    say(Str(TS::ReadingsNotShown, {e.Message()}));
  }
  return kExitNoArchive;
}

int RunCliReader(const TCliOptions& o, TMainServices services,
                 const std::function<void(const std::string&)>& say) {
  headless::TSteadyClock clock;
  headless::TApp app(clock);
  app.SetTitle(Str(TS::Caption));
  app.OnError = [&](const std::string&, const std::string& text) { say(OneLine(text)); };
  headless::TFactory factory(app);

  if (!o.Port.empty()) {
    const auto api = services.SerialApi ? services.SerialApi : SystemSerialApi();
    if (const auto why = NotASerialPort(o.Port, *api)) {
      say(*why);
      return kExitUsage;
    }
  }
  StoreOptions(o);
  services.Registry = CreateMemoryRegistry;
  services.Sound = [](const std::string&) { return true; };  // a script wants no beeps
  // Its files go where its options say: the documents folder is neither needed nor made.
  services.SpecialPath = [](int) {
    std::error_code ec;
    return PathUtf8(std::filesystem::current_path(ec));
  };
  if (!o.Port.empty()) services.Devices = SinglePortDevices(o.Port);
  services.WatchDevices = o.Port.empty() && !o.Reading;
  services.ReadingsFile = o.ReadingsFile;
  services.KeepReadings = !o.NoStore;

  TForm_Main form(factory, std::move(services));
  auto& status = static_cast<headless::TLabel&>(*form.L_State);
  TStatusEcho echo(say);
  status.OnCaptionChange = [&](const std::string& text) { echo(OneLine(WithoutPrompt(text))); };
  echo(OneLine(WithoutPrompt(status.Caption())));
  form.OnNotice = [&](const std::string& text) { say(OneLine(text)); };
  form.OnReadingKept = [&](std::int64_t id, std::uint32_t news) {
    say(Str(TS::ReadingKept, {std::to_string(id), std::to_string(news)}));
  };
  static_cast<headless::TForm&>(*form.Form_Info->Form).ModalAnswer = [&](headless::TForm& d) {
    say(OneLine(form.Form_Info->L_Info->Caption()));
    d.Close();
  };

  if (o.Reading) {
    try {
      if (!form.OpenEarlierReading(*o.Reading)) {
        say(Str(TS::NoSuchReading, {std::to_string(*o.Reading)}));
        return kExitUsage;
      }
    } catch (const EStoreError& e) {
      say(Str(TS::ReadingsNotShown, {e.Message()}));
      return kExitNoArchive;
    }
  }
  bool timedOut = false;
  TTimer* deadline = factory.CreateTimer(
      *form.Form, {.Name = "Timer_Timeout", .Enabled = true, .Interval = o.TimeoutSeconds * 1000});
  deadline->OnTimer = [&](TObject*) {
    timedOut = true;
    app.Terminate();
  };
  while (!timedOut && form.SessionPhase != phComplete)
    if (!app.DispatchPending()) app.WaitForWork();
  deadline->SetEnabled(false);
  if (form.SessionPhase != phComplete) {
    say(StrN(TS::NoArchiveWithin, o.TimeoutSeconds));
    return kExitNoArchive;
  }

  // Each export puts the reading's line back when it ends: it was said once.
  const std::string read = OneLine(WithoutPrompt(status.Caption()));
  status.OnCaptionChange = [&](const std::string& text) {
    if (const std::string line = OneLine(WithoutPrompt(text)); line != read) echo(line);
  };
  int code = kExitOk;
  if (!o.Text.empty()) {
    static_cast<headless::TSaveDialog&>(*form.SaveAsText).Answer =
        [&](headless::TSaveDialog&) -> std::optional<std::string> {
      const auto folder = Utf8Path(o.Text).parent_path();
      if (!folder.empty() && !std::filesystem::is_directory(folder))
        throw Exception(Str(TS::CannotCreateFile, {o.Text, Str(TS::FolderMissing)}));
      return o.Text;
    };
    try {
      form.B_TextClick(nullptr);
      say(Str(TS::TextReportWritten, {form.SaveAsText->FileName()}));
    } catch (...) {
      say(FailureText());
      code = kExitExportFailed;
    }
  }
  const std::pair<const std::string*, TSaveFormat> files[] = {{&o.Pdf, TSaveFormat::Pdf},
                                                              {&o.Csv, TSaveFormat::Csv}};
  for (const auto& [file, format] : files) {
    if (file->empty()) continue;
    try {
      const auto folder = Utf8Path(*file).parent_path();
      if (!folder.empty() && !std::filesystem::is_directory(folder))
        throw Exception(Str(TS::CannotCreateFile, {*file, Str(TS::FolderMissing)}));
      form.SaveArchive(format, *file);
      say(Str(format == TSaveFormat::Pdf ? TS::PdfWritten : TS::CsvWritten, {*file}));
    } catch (...) {
      say(FailureText());
      code = kExitExportFailed;
    }
  }
  if (!o.Xlsx.empty()) {
    try {
      if (!form.sxExcelExport1 || form.sxExcelExport1->ExcelVersion() == 0)
        throw Exception(Str(TS::NoSpreadsheetProgram, {o.Xlsx}));
      form.OnWorkbookWritten = [&](TsxExcelExport& x) { x.SaveAs(o.Xlsx, ffXLSX); };
      form.B_ExcelClick(nullptr);
      say(Str(TS::WorkbookWritten, {o.Xlsx}));
    } catch (const EExportIncomplete& e) {
      say(e.Reason);  // nothing of the workbook was kept
      code = kExitExportFailed;
    } catch (...) {
      say(FailureText());
      code = kExitExportFailed;
    }
  }
  return code;
}
