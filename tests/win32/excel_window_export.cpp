#include "excel_window_export.h"

#include <filesystem>

#include "mainwindow/main_form.h"
#include "mainwindow/presentation.h"
#include "platform/language/locale_settings.h"
#include "ui/headless/headless.h"

namespace {

class TNoDevices : public TsrDeviceDatabase {
 public:
  std::vector<TsrPortMapEntry> PortMap() override { return {}; }
  std::vector<TsrDevice> EnumerationRecords(bool) override { return {}; }
};

// Record n of the archive: R = 20 + n MPa and q single values.
std::vector<std::uint8_t> Record(unsigned n, unsigned q) {
  std::vector<std::uint8_t> r(128, 0);
  r[0] = 9, r[1] = 12, r[8] = 26, r[7] = 14;  // 9 Dec 2026, 14:00
  r[2] = (1 << 4) | 2;
  r[3] = static_cast<std::uint8_t>(q);
  const unsigned raw = 200 + 10 * n;
  r[18] = raw & 255, r[19] = static_cast<std::uint8_t>(raw >> 8);
  r[9] = 15, r[11] = 42, r[17] = 100;
  for (unsigned k = 0; k < q; ++k) {
    r[30 + 2 * k] = static_cast<std::uint8_t>(raw + k);
    r[31 + 2 * k] = static_cast<std::uint8_t>((raw + k) >> 8);
  }
  return r;
}

}  // namespace

TWindowExport ExportByTheWindow(std::shared_ptr<TSheetSystem> sheets, unsigned records, unsigned q,
                                bool singles, const std::function<void()>& beforeExport) {
  TWindowExport run;
  headless::TManualClock clock;
  headless::TApp app(clock);
  headless::TFactory factory(app);
  TMainServices services;
  services.Registry = CreateMemoryRegistry;
  services.Devices = std::make_shared<TNoDevices>();
  services.Sheets = std::move(sheets);
  services.Format = std::make_shared<FormatSettings>(LoadSystemFormatSettings());
  services.Sound = [](const std::string&) { return true; };
  services.SpecialPath = [](int) { return std::filesystem::temp_directory_path().string(); };
  const TDateTime now = EncodeDateTime(2026, 12, 9, 10, 0, 0, 0);
  services.Now = [now] { return now; };
  run.DateLine = DateTimeText(now, *services.Format);
  TForm_Main form(factory, services);
  form.Singles = singles;
  form.Archive.Resize(records);
  for (unsigned n = 1; n <= records; ++n) {
    const auto bytes = Record(n, q);
    form.Archive.StoreRecord(bytes.data(), bytes.size());
  }
  form.SetStateDataReady();
  if (beforeExport) beforeExport();
  try {
    form.B_ExcelClick(nullptr);
  } catch (const std::exception& e) {
    run.Errors.push_back(e.what());
  }
  return run;
}
