// The window hands its workbook to the desktop: never waiting for the opener, telling where the
// file is when nothing opened it, and showing what an export wrote before it stopped.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "../sheetexport/fake_desktop.h"
#include "../sheetexport/xlsx_reader.h"
#include "form_fixture.h"
#include "sheetexport/sheet_app_builtin.h"

using namespace std::chrono_literals;

namespace {

class HandOverTest : public ::testing::Test, public FormFixture {
 protected:
  bool ClickExcel() { return static_cast<headless::TButton*>(form->B_Excel)->Click(); }
  static TDateTime Clock() { return EncodeDateTime(2026, 12, 9, 10, 30, 0, 0); }
};

class TEnv {
 public:
  TEnv(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* v = std::getenv(name_.c_str())) old_ = v;
    setenv(name_.c_str(), value.c_str(), 1);
  }
  ~TEnv() { old_ ? setenv(name_.c_str(), old_->c_str(), 1) : unsetenv(name_.c_str()); }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// An xdg-open first on PATH that notes its process and the file it was given, then does what
// it is told: run on (as xdg-open does while it runs the spreadsheet program in its foreground)
// or fail. It is killed at the end.
class TFakeOpener {
 public:
  TFakeOpener(const fs::path& dir, const std::string& then)
      : calls_(dir / "calls"), path_("PATH", dir.string() + ":" + std::getenv("PATH")) {
    fs::create_directories(dir);
    const fs::path script = dir / "xdg-open";
    std::ofstream(script) << "#!/bin/sh\necho \"$$ $1\" >>'" << calls_.string() << "'\n"
                          << then << "\n";
    chmod(script.c_str(), 0755);
  }
  ~TFakeOpener() {
    for (const auto& [pid, file] : Calls()) kill(pid, SIGKILL);
  }
  std::vector<std::pair<pid_t, std::string>> Calls() const {
    std::vector<std::pair<pid_t, std::string>> calls;
    std::ifstream in(calls_);
    for (pid_t pid; in >> pid;) {
      std::string file;
      std::getline(in >> std::ws, file);
      calls.emplace_back(pid, file);
    }
    return calls;
  }

 private:
  fs::path calls_;
  TEnv path_;
};

TEST_F(HandOverTest, TheWindowNeverWaitsForTheOpenerAndSaysWhereTheFileIsWhenNothingOpenedIt) {
  const TEnv docs("XDG_DOCUMENTS_DIR", Docs().string());
  struct Case {
    std::string then;
    bool nothingOpened;
    std::string name;
  } cases[] = {
      {"exec sleep 30", false, "Quarrow VORNEX 2026-12-09 10-30.xlsx"},
      {"exit 3", true, "Quarrow VORNEX 2026-12-09 10-30 (2).xlsx"},  // no program for .xlsx
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.then);
    TFakeOpener opener(Root() / ("bin" + std::to_string(++n)), c.then);
    std::vector<std::string> told;
    sheets = CreateBuiltinSheetSystem(
        {format, CreateSystemDesktop(), [&](const std::string& t) { told.push_back(t); }, Clock});
    form.reset();
    TForm_Main& f = Loaded({2, 0, 1});
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ClickExcel());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << "the window went on at once";
    EXPECT_TRUE(f.B_Excel->Visible());
    EXPECT_TRUE(f.B_Exit->Enabled());
    EXPECT_TRUE(app.Errors().empty());

    ASSERT_TRUE(PumpUntil([&] { return opener.Calls().size() == 1; }));
    const fs::path file = opener.Calls()[0].second;
    EXPECT_EQ(file, Docs() / c.name);
    EXPECT_EQ(XlsxFile(file.string()).Sheet(1).Text("A7"), "1");
    if (c.nothingOpened) {
      ASSERT_TRUE(PumpUntil([&] { return !told.empty(); }));
      EXPECT_EQ(told[0], "The workbook was saved as " + file.string() + ". No program opened it.");
    } else {
      PumpUntil([&] { return !told.empty(); }, 300);
      EXPECT_TRUE(told.empty()) << told[0];
    }
  }
}

// The built-in workbook answering the version test as version 11, whose sheets end at row 65536.
class TVersion11 : public TSheetSystem {
 public:
  explicit TVersion11(std::shared_ptr<TSheetSystem> inner) : inner_(std::move(inner)) {}
  std::shared_ptr<TSheetApplication> StartNewInstance() override {
    return inner_->StartNewInstance();
  }
  std::shared_ptr<TSheetApplication> AttachOrStartInstance() override {
    return inner_->AttachOrStartInstance();
  }
  TWindow FindTopLevelWindow(const std::string& c) override {
    return inner_->FindTopLevelWindow(c);
  }
  void SendCloseAndWait(TWindow w) override { inner_->SendCloseAndWait(w); }
  bool CurrentUserKeyExists(const std::string& key) override {
    return key == "\\Software\\Microsoft\\Office\\11.0\\Excel";
  }
  std::string ClassCurrentVersion(const std::string&) override { return {}; }

 private:
  std::shared_ptr<TSheetSystem> inner_;
};

TEST_F(HandOverTest, AnExportStoppedAtTheRowLimitShowsWhatWasWrittenAndSaysItIsIncomplete) {
  auto desktop = std::make_shared<FakeDesktop>(Docs());
  sheets = std::make_shared<TVersion11>(CreateBuiltinSheetSystem({format, desktop, {}, Clock}));
  // 1311 records of 49 single values: 65550 rows from row 7 on, past the sheet's last row.
  TForm_Main& f = Loaded(std::vector<unsigned>(1311, 49));
  f.sxExcelExport1->SetBlockOfRecords(5000);  // fewer, larger writes: the same rows, sooner
  ASSERT_TRUE(ClickExcel());
  ASSERT_EQ(app.Errors().size(), 1u);
  EXPECT_EQ(app.Errors()[0],
            "The maximum number of rows (65536) has been reached. The workbook is incomplete: it "
            "holds only the rows written before this error.");
  EXPECT_TRUE(f.B_Excel->Visible());
  EXPECT_FALSE(f.sxExcelExport1->Connected());

  ASSERT_EQ(desktop->Opened.size(), 1u) << "the workbook so far is shown";
  // The sheet is looked at as text: parsing all of its cells would take minutes.
  const std::string xml = XlsxFile(desktop->Opened[0].string()).Part("xl/worksheets/sheet1.xml");
  const auto cell = [&xml](const std::string& name) {
    const auto at = xml.find("<c r=\"" + name + "\"");
    return at == std::string::npos ? std::string() : xml.substr(at, xml.find("</c>", at) - at);
  };
  EXPECT_NE(cell("A7").find("<v>1</v>"), std::string::npos) << cell("A7");
  // Rows go in blocks: the last whole block before the limit ends at row 65006, the last
  // single value row (k = 48) of record 1300.
  EXPECT_NE(cell("A65006").find("<v>1300</v>"), std::string::npos) << cell("A65006");
  EXPECT_NE(cell("O65006").find("<v>1324.8</v>"), std::string::npos) << cell("O65006");
  EXPECT_EQ(cell("A65007"), "");
}

}  // namespace
