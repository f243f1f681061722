#include "program.h"

#include "sheetexport/sheet_system.h"

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
  s.Sheets = CreateSystemSheetSystem({*s.Format, std::move(tellUser)});
  return s;
}

std::shared_ptr<TsrDeviceDatabase> SinglePortDevices(const std::string& path) {
  return std::make_shared<TSinglePort>(path);
}
