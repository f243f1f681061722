// The window's earlier readings: each complete reading kept before DataReady shows, the dialog
// that lists them, and an earlier reading opened as if it had just been read.
#include "base/utf8_path.h"
#include "mainwindow/absorb.h"
#include "mainwindow/main_form.h"
#include "mainwindow/presentation.h"
#include "readingsdialog/readings_dialog.h"
#include "text/string_table.h"

TReadingStore& TForm_Main::Readings() {
  if (!readings_) {
    try {
      const std::filesystem::path file =
          services_.ReadingsFile.empty() ? UserReadingsFile() : Utf8Path(services_.ReadingsFile);
      readings_ = std::make_unique<TReadingStore>(file);
    } catch (const EOSError& e) {
      throw EStoreError(TStoreFault::ReadOnly, e.Message());
    }
  }
  return *readings_;
}

std::optional<std::string> TForm_Main::MovedAsideText() {
  if (!readings_) return std::nullopt;
  const auto aside = readings_->TakeMovedAside();
  if (!aside) return std::nullopt;
  return Str(TS::StoreMovedAside, {PathUtf8(*aside)});
}

TReadingInfo TForm_Main::ReadingInfo() {
  TReadingInfo info;
  info.ReadAt = services_.Now();
  info.Port = LinkPort();
  info.DeviceDate = DevDate;
  info.DeviceValue5 = DevValue5;
  info.DeviceValue7 = DevValue7;
  try {
    if (const TsrDevice* d = srComm1->Devices(srComm1->DeviceIndex())) {
      info.UsbSerial = d->SerialNumber;
      info.Vendor = d->Manufacturer;
      info.Product = d->Description;
    }
  } catch (...) {
    // What is known of the adapter is a help, not a part of the reading.
  }
  return info;
}

void TForm_Main::TellStoreFault(const EStoreError& e) {
  // The same reason reading after reading is told once, until a reading is kept again.
  if (e.Message() == storeFaultTold_) return;
  storeFaultTold_ = e.Message();
  afterReady_.push_back(Str(TS::ReadingNotKept, {e.Message()}));
}

void TForm_Main::KeepReading() {
  kept_.reset();
  earlierAt_.reset();
  if (!services_.KeepReadings) return;
  try {
    const auto stored = Readings().Store(ReadingInfo(), Archive);
    kept_ = stored.Id;
    storeFaultTold_.clear();
    if (auto moved = MovedAsideText()) afterReady_.push_back(*moved);
    if (OnReadingKept) OnReadingKept(stored.Id, stored.NewRecords);
  } catch (const EStoreError& e) {
    if (auto moved = MovedAsideText()) afterReady_.push_back(*moved);
    TellStoreFault(e);
  }
}

bool TForm_Main::OpenEarlierReading(std::int64_t id) {
  const auto info = Readings().Load(id, Archive);
  if (!info) return false;
  Absorb([&] { Timer_DeviceRefresh->SetEnabled(false); });
  ClearCom();
  Pending = ChIdle;
  SessionPhase = phComplete;
  DevDate = info->DeviceDate;
  DevValue5 = info->DeviceValue5;
  DevValue7 = info->DeviceValue7;
  kept_ = id;
  earlierAt_ = info->ReadAt;
  SetStateDataReady();
  return true;
}

void TForm_Main::B_EarlierClick(TObject*) {
  TReadingStore* store = nullptr;
  try {
    store = &Readings();
  } catch (const EStoreError& e) {
    throw Exception(Str(TS::ReadingsNotShown, {e.Message()}));
  }
  // The search rests while the list is open: no reading completes behind the dialog.
  const bool searching = SessionPhase != phComplete;
  if (searching) {
    Absorb([&] { srComm1->SetActive(false); });
    Absorb([&] { Timer_CheckWork->SetEnabled(false); });
    Absorb([&] { Timer_DeviceRefresh->SetEnabled(false); });
    SessionPhase = phStopped;
  }
  std::optional<std::int64_t> chosen;
  try {
    TForm_Readings dialog(factory_, Form.get(), *store,
                          [this](TDateTime t) { return DateTimeText(t, Format()); });
    dialog.OnDeleted = [this](std::int64_t id) {
      if (kept_ == id) kept_.reset();
    };
    if (auto moved = MovedAsideText()) ShowInfo(*moved, Str(TS::Information), "SystemDefault");
    chosen = dialog.Execute();
    if (chosen && OpenEarlierReading(*chosen)) return;
  } catch (...) {
    if (searching) SetStateWait();
    throw;
  }
  if (searching) SetStateWait();
}
