// Spreadsheet export figures: the whole engine into the built-in workbook and an .xlsx file,
// with and without the summary sheet the window adds, beside libxlsxwriter writing the same
// cells directly (normal and constant-memory modes).
// Each case runs in a child process of its own so that its peak memory is its own.
//
//   bench_sheetexport            all cases, one line each
//   bench_sheetexport CASE       one case: engine|summary|normal|constant  records  singles
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "mainwindow/summary_sheet.h"
#include "sheetexport/sheet_app_builtin.h"
#include "sheetexport/sx_excel_export.h"

extern char** environ;

namespace {

const char* const kMaterials[] = {"Heavy concrete", "Light concrete", "Mortar", "Brick", "Custom"};
const char* const kArrows[] = {"\xE2\x86\x91", "\xE2\x86\x97", "\xE2\x86\x92", "\xE2\x86\x98",
                               "\xE2\x86\x93"};
const TFieldType kTypes[15] = {ftInteger, ftString,  ftString, ftString,  ftString,
                               ftFloat,   ftFloat,   ftFloat,  ftString,  ftString,
                               ftString,  ftInteger, ftFloat,  ftInteger, ftFloat};
const int kDecimals[15] = {0, 0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 2, 0, 1};

// The archive's rows as the main window hands them over: a record row, then its singles.
struct Rows {
  int Records, Singles;
  int Record = 0, Single = -1;  // Single -1: on the record row
  bool End() const { return Record >= Records; }
  void First() { Record = 0, Single = -1; }
  void Next() {
    if (++Single >= Singles) Single = -1, ++Record;
  }
  TVariant Value(int col) const {
    const int r = Record;
    if (Single >= 0) {
      if (col == 0) return std::int64_t{r + 1};
      if (col == 14) return 30.0 + (r * 7 + Single) % 40 * 0.5;
      return {};
    }
    char date[32];
    switch (col) {
      case 0:
        return std::int64_t{r + 1};
      case 1:
        std::snprintf(date, sizeof date, "%02d.%02d.20%02d %02d:%02d", r % 28 + 1, r / 28 % 12 + 1,
                      r / 336 % 30, r % 24, r % 60);
        return std::string(date);
      case 2:
        return std::string(kMaterials[r % 5]);
      case 3:
        return std::string(kMaterials[(r / 5) % 5]);
      case 4:
        return std::string(kArrows[r % 5]);
      case 5:
        return 20.0 + r % 300 * 0.1;
      case 6:
        return 1.0 + r % 50 * 0.1;
      case 7:
        return r % 200 * 0.1;
      case 8:
        return std::string("28 days");
      case 9:
        return std::string("Normal");
      case 10:
        return std::string("3S");
      case 11:
        return std::int64_t{r % 30};
      case 12:
        return 1.0 + r % 20 * 0.01;
      case 13:
        return std::int64_t{Singles};
      default:
        return {};
    }
  }
};

// An archive of that many records, R varying over the materials and articles.
TArchive ArchiveOf(int records) {
  TArchive a;
  a.Resize(static_cast<std::uint32_t>(records));
  for (int r = 0; r < records; ++r) {
    std::uint8_t slot[kSlotSize] = {9, 12, static_cast<std::uint8_t>((r % 14) << 4 | r % 8)};
    const int raw = 100 + r * 7 % 600;
    slot[18] = static_cast<std::uint8_t>(raw & 255);
    slot[19] = static_cast<std::uint8_t>(raw >> 8);
    a.StoreRecord(slot, sizeof slot);
  }
  return a;
}

void RunEngine(Rows rows, const std::string& path, bool summary) {
  TBuiltinSheetOptions options;
  auto system = CreateBuiltinSheetSystem(options);
  TsxExcelExport x(system, FormatSettings{});
  x.SetDataPipe(dpCustom);
  x.OnGetFieldCount = [](TsxExcelExport&, int& n) { n = 15; };
  x.OnGetFieldName = [](TsxExcelExport&, int i, std::string& s) { s = "F" + std::to_string(i); };
  x.OnGetFieldDataType = [](TsxExcelExport&, int i, TFieldType& t) { t = kTypes[i]; };
  x.OnGetFieldDecSize = [](TsxExcelExport&, int i, int& d) { d = kDecimals[i]; };
  x.OnGotoFirstRecord = [&](TsxExcelExport&) { rows.First(); };
  x.OnGotoNextRecord = [&](TsxExcelExport&) { rows.Next(); };
  x.OnGetEOF = [&](TsxExcelExport&, bool& eof) { eof = rows.End(); };
  x.OnGetFieldValue = [&](TsxExcelExport&, int i, TVariant& v) { v = rows.Value(i); };
  x.SetStyleColumnWidth(cwAutoFit);
  x.SetWorksheetName("Quarrow VORNEX");
  x.SetHeaderText({" ", "Quarrow VORNEX", " ", "09.12.2026 10:00:00"});
  x.SetBeginRowTitles(6);
  x.SetBeginRowData(7);
  for (TCellBorder* b : {&x.BorderTitles(), &x.BorderData(), &x.BorderGroup()})
    b->LineStyle = blContinuous;
  for (TxlFont* f : {&x.FontHeader(), &x.FontTitles(), &x.FontData(), &x.FontGroup()}) {
    f->Name = "Tahoma";
    f->Size = 12;
    f->Alignment = haCenter;
  }
  if (rows.Singles > 0) x.SetGroupFields({"N"});
  x.ExportDataset();
  if (summary) {
    SetPrintLayout(*x.ExcelWorkSheet, 6);
    WriteSummarySheet(*x.ExcelWorkbook, *x.ExcelWorkSheet,
                      SummarizeArchive(ArchiveOf(rows.Records), 0), FormatSettings{});
  }
  x.SaveAs(path, ffXLSX);
  x.SetExcelVisible(false);
  x.Disconnect(true);
}

void RunDirect(Rows rows, const std::string& path, bool constantMemory) {
  lxw_workbook_options options{};
  options.constant_memory = constantMemory;
  options.use_zip64 = 1;
  lxw_workbook* wb = workbook_new_opt(path.c_str(), &options);
  lxw_worksheet* ws = workbook_add_worksheet(wb, "Quarrow VORNEX");
  lxw_format* formats[15];
  for (int c = 0; c < 15; ++c) {
    formats[c] = workbook_add_format(wb);
    format_set_font_name(formats[c], "Tahoma");
    format_set_font_size(formats[c], 12);
    format_set_align(formats[c], LXW_ALIGN_CENTER);
    const char* numeric = kTypes[c] == ftString ? "@"
                          : kDecimals[c] == 1   ? "0.0"
                          : kDecimals[c] == 2   ? "0.00"
                                                : "0";
    format_set_num_format(formats[c], numeric);
  }
  worksheet_outline_settings(ws, 1, 0, 1, 0);
  lxw_row_t row = 6;
  for (rows.First(); !rows.End(); rows.Next(), ++row) {
    if (rows.Single >= 0) {
      lxw_row_col_options o{1, 1, 0};
      worksheet_set_row_opt(ws, row, LXW_DEF_ROW_HEIGHT, nullptr, &o);
    } else if (rows.Singles > 0) {
      lxw_row_col_options o{0, 0, 1};
      worksheet_set_row_opt(ws, row, LXW_DEF_ROW_HEIGHT, nullptr, &o);
    }
    for (int c = 0; c < 15; ++c) {
      const TVariant v = rows.Value(c);
      if (const auto* i = std::get_if<std::int64_t>(&v))
        worksheet_write_number(ws, row, c, static_cast<double>(*i), formats[c]);
      else if (const auto* d = std::get_if<double>(&v))
        worksheet_write_number(ws, row, c, *d, formats[c]);
      else if (const auto* s = std::get_if<std::string>(&v))
        worksheet_write_string(ws, row, c, s->c_str(), formats[c]);
      else
        worksheet_write_blank(ws, row, c, formats[c]);
    }
  }
  if (workbook_close(wb) != LXW_NO_ERROR) std::fprintf(stderr, "direct writer failed\n");
}

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int RunCase(const std::string& kind, int records, int singles) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("bench_sheetexport_" + std::to_string(getpid()) + ".xlsx"))
                               .string();
  const Rows rows{records, singles};
  const auto start = std::chrono::steady_clock::now();
  if (kind == "engine" || kind == "summary")
    RunEngine(rows, path, kind == "summary");
  else
    RunDirect(rows, path, kind == "constant");
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const auto bytes = std::filesystem::file_size(path);
  std::filesystem::remove(path);
  const long rowCount = static_cast<long>(records) * (1 + singles);
  std::printf(
      "%-9s %7d records x %2d singles = %8ld rows: %7.2f s, peak %7.1f MiB, file %6.1f MiB\n",
      kind.c_str(), records, singles, rowCount, seconds, PeakKiB() / 1024.0,
      static_cast<double>(bytes) / (1024 * 1024));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4) return RunCase(argv[1], std::atoi(argv[2]), std::atoi(argv[3]));
  const struct {
    const char* kind;
    const char* records;
    const char* singles;
  } cases[] = {{"engine", "65535", "0"},   {"summary", "65535", "0"},  {"normal", "65535", "0"},
               {"constant", "65535", "0"}, {"engine", "20000", "49"},  {"summary", "20000", "49"},
               {"normal", "20000", "49"},  {"constant", "20000", "49"}};
  for (const auto& c : cases) {
    std::fflush(stdout);
    char* args[] = {argv[0], const_cast<char*>(c.kind), const_cast<char*>(c.records),
                    const_cast<char*>(c.singles), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/proc/self/exe", nullptr, nullptr, args, environ) != 0) {
      std::perror("posix_spawn");
      return 1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
      std::printf("%s %s x %s failed\n", c.kind, c.records, c.singles);
  }
  return 0;
}
