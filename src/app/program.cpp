#include "program.h"

#ifdef Q2E_BUILTIN_WORKBOOK
#include "sheetexport/sheet_app_builtin.h"
#endif

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

TMainServices SystemServices(std::function<void(const std::string&)> tellUser) {
  TMainServices s;
  s.Registry = CreateRegistry;
  s.Format = std::make_shared<FormatSettings>(LoadSystemFormatSettings());
#ifdef Q2E_BUILTIN_WORKBOOK
  s.Sheets = CreateBuiltinSheetSystem({*s.Format, nullptr, std::move(tellUser)});
#else
  // No spreadsheet system: "Export to Excel" stays disabled and the reader refuses --xlsx.
  (void)tellUser;
#endif
  return s;
}

std::shared_ptr<TsrDeviceDatabase> SinglePortDevices(const std::string& path) {
  return std::make_shared<TSinglePort>(path);
}
