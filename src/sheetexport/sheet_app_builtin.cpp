#include "sheetexport/sheet_app_builtin.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <list>

#include "base/utf16.h"
#include "base/utf8_path.h"
#include "sheetexport/a1_address.h"
#include "sheetexport/builtin_book.h"
#include "sheetexport/builtin_chart.h"
#include "sheetexport/builtin_files.h"
#include "sheetexport/builtin_handover.h"
#include "sheetexport/builtin_range.h"
#include "text/string_table.h"

using namespace builtin;

namespace {

struct TAppState {
  std::vector<std::shared_ptr<TBook>> Books;
  int Active = -1;
  bool Visible = false, ScreenUpdating = true, DisplayAlerts = true, Quit = false;
  bool Released = false;
  TSheetSystem::TWindow Window = 0;
  std::shared_ptr<TServices> Services;

  void CheckRunning() const {
    if (Quit) throw ESheetAppError("The application has quit");
  }
};

void HandOverUnsaved(TAppState& st) {
  for (auto& book : st.Books)
    if (book->Dirty && HandOver(*book, st.Services->HandOver)) book->Dirty = false;
}

class Outline : public TSheetOutline {
 public:
  Outline(std::shared_ptr<TBook> book, TSheet* sheet) : book_(std::move(book)), sheet_(sheet) {}
  void SetSummaryRow(int v) override { sheet_->SummaryBelow = v != 0; }
  void SetSummaryColumn(int v) override { sheet_->SummaryRight = v != -4131; }
  void ShowLevels(int rowLevels) override {
    auto& rows = sheet_->Rows;
    const int n = static_cast<int>(rows.size());
    for (auto& r : rows) {
      r.Hidden = r.Level >= rowLevels;
      r.Collapsed = false;
    }
    // The head row beside each hidden run carries the collapsed mark.
    for (int i = 0; i < n;) {
      if (!rows[i].Hidden) {
        ++i;
        continue;
      }
      int j = i;
      while (j < n && rows[j].Hidden) ++j;
      const int head = sheet_->SummaryBelow ? j : i - 1;
      if (head >= 0) {
        if (head >= n) rows.resize(head + 1);
        rows[head].Collapsed = true;
      }
      i = j;
    }
    book_->Dirty = true;
  }

 private:
  std::shared_ptr<TBook> book_;
  TSheet* sheet_;
};

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

class Worksheet : public TSheetWorksheet {
 public:
  Worksheet(std::shared_ptr<TBook> book, TSheet* sheet, std::shared_ptr<TServices> services)
      : book_(std::move(book)), sheet_(sheet), services_(std::move(services)) {}

  std::string Name() override { return sheet_->Name; }
  void SetName(const std::string& name) override {
    const std::size_t length = Utf16Length(name);
    if (length == 0 || length > 31 || name.find_first_of(":\\/?*[]") != std::string::npos ||
        name.front() == '\'' || name.back() == '\'')
      throw ESheetAppError("The sheet name \"" + name + "\" is not valid");
    for (const auto& other : book_->Sheets)
      if (other.get() != sheet_ && SameNameIgnoringCase(other->Name, name))
        throw ESheetAppError("The sheet name \"" + name + "\" is already taken");
    sheet_->Name = name;
    book_->Dirty = true;
  }
  std::shared_ptr<TSheetRange> Range(const std::string& first, const std::string& last) override {
    const auto a = ParseA1(first), z = ParseA1(last);
    if (!a || !z) throw ESheetAppError("Method Range failed: " + first + ":" + last);
    TArea area{std::min(a->Row, z->Row) - 1, std::min(a->Column, z->Column) - 1,
               std::max(a->Row, z->Row) - 1, std::max(a->Column, z->Column) - 1};
    if (area.Row2 >= kMaxRows || area.Column2 >= kMaxColumns)
      throw ESheetAppError("Method Range failed: " + first + ":" + last);
    return MakeRange(TRangeRef{book_, sheet_, area, services_});
  }
  std::shared_ptr<TSheetRange> UsedRange() override {
    TArea area{0, 0, 0, 0};
    sheet_->Used(area);
    return MakeRange(TRangeRef{book_, sheet_, area, services_});
  }
  std::shared_ptr<TSheetOutline> Outline() override {
    return std::make_shared<::Outline>(book_, sheet_);
  }
  std::shared_ptr<TSheetPageSetup> PageSetup() override { return PageSetupOf(book_, sheet_); }
  std::shared_ptr<TSheetChartObjects> ChartObjects() override {
    return ChartObjectsOf(book_, sheet_);
  }
  void Activate() override {
    for (std::size_t i = 0; i < book_->Sheets.size(); ++i)
      if (book_->Sheets[i].get() == sheet_) book_->Active = static_cast<int>(i);
  }
  TSheet* Sheet() const { return sheet_; }
  // The desktop's spreadsheet program shows a copy; the workbook stays unsaved.
  void PrintPreview() override { HandOver(*book_, services_->HandOver); }
  void SaveAs(const std::string& path) override { SaveAs(path, 51); }
  void SaveAs(const std::string& path, int format) override {
    if (format == 51) {
      WriteXlsx(*book_, path);
      book_->Dirty = false;
    } else if (format == 6) {
      WriteCsv(*sheet_, path);
    } else {
      throw ESheetAppError(Str(TS::FormatNotWritten, {std::to_string(format)}));
    }
  }

 private:
  std::shared_ptr<TBook> book_;
  TSheet* sheet_;
  std::shared_ptr<TServices> services_;
};

class Worksheets : public TSheetWorksheets {
 public:
  Worksheets(std::shared_ptr<TBook> book, std::shared_ptr<TServices> services)
      : book_(std::move(book)), services_(std::move(services)) {}
  int Count() override { return static_cast<int>(book_->Sheets.size()); }
  std::shared_ptr<TSheetWorksheet> Item(int i) override {
    if (i < 1 || i > Count()) throw ESheetAppError("Subscript out of range: " + std::to_string(i));
    return std::make_shared<Worksheet>(book_, book_->Sheets[i - 1].get(), services_);
  }
  // A new sheet goes before the active one and becomes active, as in the application.
  std::shared_ptr<TSheetWorksheet> Add() override {
    return Insert(std::clamp(book_->Active, 0, Count()));
  }
  std::shared_ptr<TSheetWorksheet> AddAfter(TSheetWorksheet& after) override {
    const auto* sheet = dynamic_cast<Worksheet*>(&after);
    for (int i = 0; sheet && i < Count(); ++i)
      if (book_->Sheets[i].get() == sheet->Sheet()) return Insert(i + 1);
    throw ESheetAppError("Add method of Sheets class failed");
  }

 private:
  std::shared_ptr<TSheetWorksheet> Insert(int at) {
    std::string name;
    for (int n = Count() + 1;; ++n) {
      name = "Sheet" + std::to_string(n);
      const bool taken =
          std::any_of(book_->Sheets.begin(), book_->Sheets.end(),
                      [&](const auto& s) { return SameNameIgnoringCase(s->Name, name); });
      if (!taken) break;
    }
    book_->Sheets.insert(book_->Sheets.begin() + at, std::make_unique<TSheet>(*book_, name));
    book_->Active = at;
    book_->Dirty = true;
    return std::make_shared<Worksheet>(book_, book_->Sheets[at].get(), services_);
  }

  std::shared_ptr<TBook> book_;
  std::shared_ptr<TServices> services_;
};

class Workbook : public TSheetWorkbook {
 public:
  Workbook(std::shared_ptr<TBook> book, std::shared_ptr<TServices> services)
      : book_(std::move(book)), services_(std::move(services)) {}
  std::shared_ptr<TSheetWorksheets> Worksheets() override {
    return std::make_shared<::Worksheets>(book_, services_);
  }
  std::shared_ptr<TSheetWorksheet> ActiveSheet() override {
    return std::make_shared<Worksheet>(book_, book_->Sheets[book_->Active].get(), services_);
  }

 private:
  std::shared_ptr<TBook> book_;
  std::shared_ptr<TServices> services_;
};

class Workbooks : public TSheetWorkbooks {
 public:
  explicit Workbooks(std::shared_ptr<TAppState> st) : st_(std::move(st)) {}
  int Count() override {
    st_->CheckRunning();
    return static_cast<int>(st_->Books.size());
  }
  std::shared_ptr<TSheetWorkbook> Add(int) override {
    st_->CheckRunning();
    auto book = std::make_shared<TBook>();
    book->Sheets.push_back(std::make_unique<TSheet>(*book, "Sheet1"));
    return Adopt(book);
  }
  // The built-in workbook reads CSV files; other formats are refused with the reason.
  std::shared_ptr<TSheetWorkbook> Open(const std::string& path) override {
    st_->CheckRunning();
    std::string ext = PathUtf8(Utf8Path(path).extension());
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext != ".csv") throw ESheetAppError(Str(TS::OpensCsvOnly, {path}));
    return Adopt(ReadCsv(path));
  }

 private:
  std::shared_ptr<TSheetWorkbook> Adopt(std::shared_ptr<TBook> book) {
    st_->Books.push_back(book);
    st_->Active = static_cast<int>(st_->Books.size()) - 1;
    return std::make_shared<Workbook>(book, st_->Services);
  }
  std::shared_ptr<TAppState> st_;
};

class Application : public TSheetApplication {
 public:
  explicit Application(std::shared_ptr<TAppState> st) : st_(std::move(st)) {}
  // Let go while visible: unsaved work goes to the desktop's program rather than being lost.
  ~Application() override {
    st_->Released = true;
    if (st_->Visible && !st_->Quit) HandOverUnsaved(*st_);
  }
  void SetDisplayAlerts(bool on) override {
    st_->CheckRunning();
    st_->DisplayAlerts = on;
  }
  void SetScreenUpdating(bool on) override {
    st_->CheckRunning();
    st_->ScreenUpdating = on;
  }
  void SetVisible(bool on) override {
    st_->CheckRunning();
    st_->Visible = on;
  }
  void Quit() override {
    st_->Quit = true;
    st_->Books.clear();
    st_->Active = -1;
  }
  std::string International(int code) override {
    st_->CheckRunning();
    const FormatSettings& fs = st_->Services->Settings;
    switch (code) {
      case 17:
        return std::string(1, fs.DateSeparator);
      case 18:
        return std::string(1, fs.TimeSeparator);
      case 19:
        return "y";
      case 20:
        return "m";
      case 21:
        return "d";
      case 22:
        return "h";
      case 23:
        return "m";
      case 24:
        return "s";
      default:
        throw ESheetAppError("International(" + std::to_string(code) + ") is not answered");
    }
  }
  std::shared_ptr<TSheetWorkbooks> Workbooks() override {
    st_->CheckRunning();
    return std::make_shared<::Workbooks>(st_);
  }
  std::shared_ptr<TSheetWorkbook> ActiveWorkbook() override {
    st_->CheckRunning();
    if (st_->Active < 0) return nullptr;
    return std::make_shared<Workbook>(st_->Books[st_->Active], st_->Services);
  }

 private:
  std::shared_ptr<TAppState> st_;
};

class BuiltinSystem : public TSheetSystem {
 public:
  explicit BuiltinSystem(std::shared_ptr<TServices> services) : services_(std::move(services)) {}

  std::shared_ptr<TSheetApplication> StartNewInstance() override {
    auto st = std::make_shared<TAppState>();
    st->Services = services_;
    st->Window = ++lastWindow_;
    auto app = std::make_shared<Application>(st);
    instances_.push_back({st, app});
    return app;
  }
  std::shared_ptr<TSheetApplication> AttachOrStartInstance() override {
    for (auto it = instances_.rbegin(); it != instances_.rend(); ++it)
      if (auto app = it->App.lock(); app && !it->State.lock()->Quit) return app;
    return StartNewInstance();
  }
  TWindow FindTopLevelWindow(const std::string& className) override {
    if (className != "XLMAIN") return 0;
    Prune();
    for (const auto& i : instances_)
      if (auto st = i.State.lock(); st && st->Visible && !st->Quit && !st->Released)
        return st->Window;
    return 0;
  }
  // Closing a window keeps its unsaved work, in the desktop's program.
  void SendCloseAndWait(TWindow window) override {
    for (const auto& i : instances_)
      if (auto st = i.State.lock(); st && st->Window == window && !st->Quit) {
        HandOverUnsaved(*st);
        st->Quit = true;
        st->Books.clear();
        st->Active = -1;
      }
  }
  bool CurrentUserKeyExists(const std::string& key) override {
    return SameNameIgnoringCase(key, "\\Software\\Microsoft\\Office\\14.0\\Excel");
  }
  std::string ClassCurrentVersion(const std::string&) override { return {}; }

 private:
  struct Instance {
    std::weak_ptr<TAppState> State;
    std::weak_ptr<Application> App;
  };
  void Prune() {
    instances_.remove_if([](const Instance& i) { return i.State.expired(); });
  }
  std::shared_ptr<TServices> services_;
  std::list<Instance> instances_;
  TWindow lastWindow_ = 0;
};

}  // namespace

std::shared_ptr<TSheetSystem> CreateBuiltinSheetSystem(TBuiltinSheetOptions options) {
  auto services = std::make_shared<TServices>();
  services->Settings = options.Settings;
  services->HandOver = {std::move(options.Desktop), std::move(options.TellUser),
                        std::move(options.Now)};
  return std::make_shared<BuiltinSystem>(std::move(services));
}
