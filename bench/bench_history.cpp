// The store of earlier readings: storing a full archive (65535 records, 49 single values each)
// against a minimal loop of prepared inserts of the same rows in one transaction, listing
// 10,000 readings in the dialog, opening the full reading, and the peak memory of storing.
// Usage: bench_history [FOLDER]   (the files go there; default: the temporary folder)
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_common.h"
#include "history/reading_store.h"
#include "history/sqlite_db.h"
#include "history/store_schema.h"
#include "readingsdialog/readings_dialog.h"
#include "ui/headless/headless.h"

namespace fs = std::filesystem;

namespace {

TReadingInfo Info() {
  TReadingInfo info;
  info.ReadAt = Now();
  info.Port = "/dev/ttyUSB0";
  info.Vendor = "FTDI";
  info.Product = "FT232R USB UART";
  info.UsbSerial = "A10K3Q";
  return info;
}

// The same rows as a reading of the archive, written by the plainest loop SQLite allows.
double PlainInserts(const fs::path& file, const TArchive& archive) {
  { TReadingStore tables(file); }
  TSqliteDb db(file, false);
  db.Exec("PRAGMA journal_mode = WAL");
  db.Exec("PRAGMA synchronous = FULL");
  const auto t0 = std::chrono::steady_clock::now();
  db.Exec("BEGIN");
  db.Exec(
      "INSERT INTO readings(read_at, port, device_date, device_value5, device_value7, "
      "record_count) VALUES('2026-12-10 12:00:00', '/dev/ttyUSB0', '2026-12-10', 0, 0, 65535)");
  const std::int64_t reading = db.LastInsertId();
  TStatement record(db.Handle(), InsertRecordSql());
  TStatement link(
      db.Handle(),
      "INSERT INTO reading_records(reading_id, position, record_id) VALUES(?1, ?2, ?3)");
  std::string time;
  for (std::uint32_t i = 0; i < archive.RecCount(); ++i) {
    BindRecord(record, archive.Slot(i), time);
    record.Step();
    record.Reset();
    link.Bind(1, reading).Bind(2, std::int64_t{i + 1}).Bind(3, db.LastInsertId());
    link.Step();
    link.Reset();
  }
  db.Exec("COMMIT");
  return Since(t0);
}

void MakeReadings(const fs::path& file, int count) {
  { TReadingStore tables(file); }
  TSqliteDb db(file, false);
  db.Exec("BEGIN");
  TStatement s(db.Handle(),
               "INSERT INTO readings(read_at, port, usb_serial, vendor, product, device_date, "
               "device_value5, device_value7, record_count, new_records) VALUES(?1, "
               "'/dev/ttyUSB0', 'A10K3Q', 'FTDI', 'FT232R USB UART', '2026-01-01', 0, 0, ?2, ?3)");
  for (int i = 0; i < count; ++i) {
    const std::string at = StoreTimeText(
        EncodeDateTime(2020 + i / 2000, 1 + i % 12, 1 + i % 28, i % 24, i % 60, 0, 0));
    s.Bind(1, std::string_view(at))
        .Bind(2, std::int64_t{100 + i % 900})
        .Bind(3, std::int64_t{i % 7});
    s.Step();
    s.Reset();
  }
  db.Exec("COMMIT");
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path dir = (argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path()) /
                       ("q2e_bench_history_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const TArchive archive = FullArchive();
  const double archiveMb = 65535.0 * kSlotSize / (1024 * 1024);

  const double before = PeakMb();
  std::int64_t id = 0;
  double stored = 0;
  {
    TReadingStore store(dir / "store.sqlite3");
    const auto t1 = std::chrono::steady_clock::now();
    id = store.Store(Info(), archive).Id;
    stored = Since(t1);
  }
  const double peak = PeakMb() - before;
  const double plain = PlainInserts(dir / "plain.sqlite3", archive);

  auto t0 = std::chrono::steady_clock::now();
  double c0 = Cpu();
  std::uint32_t opened = 0;
  {
    TReadingStore store(dir / "store.sqlite3");
    TArchive loaded;
    store.Load(id, loaded);
    opened = loaded.RecCount();
  }
  const double open = Since(t0), openCpu = Cpu() - c0;

  MakeReadings(dir / "many.sqlite3", 10000);
  headless::TSteadyClock clock;
  headless::TApp app(clock);
  headless::TFactory factory(app);
  int rows = 0;
  app.ModalAnswer = [&](headless::TForm& d) {
    rows = d.Find<headless::TListView>("LV_Readings")->RowCount();
    d.Close();
  };
  t0 = std::chrono::steady_clock::now();
  c0 = Cpu();
  {
    TReadingStore store(dir / "many.sqlite3");
    TForm_Readings dialog(factory, nullptr, store, [&](TDateTime t) { return StoreTimeText(t); });
    dialog.Execute();
  }
  const double list = Since(t0), listCpu = Cpu() - c0;

  std::printf("storing 65535 records (49 singles each), one transaction: %.3f s\n", stored);
  std::printf("plain prepared inserts of the same rows, one transaction: %.3f s\n", plain);
  std::printf("ratio: %.2f (goal at most 1.5)\n", stored / plain);
  std::printf("opening the reading (%u records): %.3f s, processor %.3f s (goal under 0.2 s)\n",
              opened, open, openCpu);
  std::printf("listing %d readings in the dialog: %.3f s, processor %.3f s (goal under 0.2 s)\n",
              rows, list, listCpu);
  std::printf(
      "peak memory while storing: +%.1f MB (goal at most %.1f MB: the archive's %.1f + 20)\n", peak,
      archiveMb + 20, archiveMb);
  fs::remove_all(dir);
  return 0;
}
