// The real main window on the Win32 binding: its Wait state on screen, its settings in a
// registry key of the test's own, and the two ways out (title bar and "Exit").
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "../core/test_record.h"
#include "../serial/fake_serial_api.h"
#include "../sheetexport/xlsx_reader.h"
#include "base/utf8_path.h"
#include "mainwindow/main_form.h"
#include "mainwindow/textreport.h"
#include "platform/desktop/shell.h"
#include "platform/language/text_codec.h"
#include "sheetexport/sheet_system.h"
#include "ui/win32/win32_binding.h"
#include "win32_probe.h"

namespace fs = std::filesystem;

namespace {

void* W(TForm& form) {
  return win32ui::TFactory::Window(form);
}
void* W(TControl* control) {
  return win32ui::TFactory::Window(*control);
}

// The system's registry with every key from the root moved below a key of the test's own.
class TRedirectedRegistry : public TRegistry {
 public:
  explicit TRedirectedRegistry(std::string base) : base_(std::move(base)), reg_(CreateRegistry()) {}
  void SetRootKey(TRootKey root) override { reg_->SetRootKey(root); }
  bool OpenKey(const std::string& key, bool canCreate) override {
    return reg_->OpenKey(Map(key), canCreate);
  }
  bool OpenKeyReadOnly(const std::string& key) override { return reg_->OpenKeyReadOnly(Map(key)); }
  bool CreateKey(const std::string& key) override { return reg_->CreateKey(Map(key)); }
  bool KeyExists(const std::string& key) override { return reg_->KeyExists(Map(key)); }
  void CloseKey() override { reg_->CloseKey(); }
  bool ValueExists(const std::string& name) override { return reg_->ValueExists(name); }
  TRegDataType GetDataType(const std::string& name) override { return reg_->GetDataType(name); }
  int GetDataSize(const std::string& name) override { return reg_->GetDataSize(name); }
  std::int32_t ReadInteger(const std::string& name) override { return reg_->ReadInteger(name); }
  std::string ReadString(const std::string& name) override { return reg_->ReadString(name); }
  std::vector<std::uint8_t> ReadBinaryData(const std::string& name) override {
    return reg_->ReadBinaryData(name);
  }
  void WriteInteger(const std::string& name, std::int32_t value) override {
    reg_->WriteInteger(name, value);
  }
  void WriteString(const std::string& name, const std::string& value) override {
    reg_->WriteString(name, value);
  }
  void WriteBinaryData(const std::string& name, const std::vector<std::uint8_t>& data) override {
    reg_->WriteBinaryData(name, data);
  }

 private:
  std::string Map(const std::string& key) const {
    return !key.empty() && key[0] == '\\' ? base_ + key : key;
  }
  std::string base_;
  std::unique_ptr<TRegistry> reg_;
};

class TNoDevices : public TsrDeviceDatabase {
 public:
  std::vector<TsrPortMapEntry> PortMap() override { return {{"COM7", "\\Device\\VCP0", 7}}; }
  std::vector<TsrDevice> EnumerationRecords(bool) override { return {}; }
};

// One adapter of the tester's kind.
class TOneAdapter : public TsrDeviceDatabase {
 public:
  std::vector<TsrPortMapEntry> PortMap() override { return {{"COM7", "\\Device\\VCP0", 7}}; }
  std::vector<TsrDevice> EnumerationRecords(bool) override {
    TsrDevice d;
    d.PortName = d.NameFriendly = "COM7";
    d.Service = "FTSER2K";
    d.Manufacturer = "FTDI";
    return {d};
  }
};

class Win32Window : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = "Q2ETest" + std::to_string(probe::ProcessId());
    top_ = "Software\\" + name;
    base_ = "\\" + top_;
    key_ = top_ + TForm_Main::SettingsKey;
    probe::DeleteTree(top_);
    // "Протоколы Ärger": the documents folder of a user whose name no ANSI code page spells.
    docs_ = (fs::temp_directory_path() /
             Utf8Path(name +
                      " \xD0\x9F\xD1\x80\xD0\xBE\xD1\x82\xD0\xBE\xD0\xBA\xD0\xBE\xD0\xBB\xD1\x8B "
                      "\xC3\x84rger"))
                .lexically_normal();
    fs::remove_all(docs_);  // what a run that was stopped left behind
    fs::create_directories(docs_);
    app_.SetTitle("Quarrow VORNEX");
  }
  void TearDown() override {
    probe::DeleteTree(top_);
    std::error_code ec;
    fs::remove_all(docs_, ec);
  }

  std::unique_ptr<TForm_Main> Open(std::shared_ptr<TsrDeviceDatabase> devices = nullptr,
                                   std::shared_ptr<TSerialApi> api = nullptr,
                                   std::shared_ptr<TSheetSystem> sheets = nullptr) {
    TMainServices services;
    services.Sheets = std::move(sheets);
    services.Registry = [base = base_] { return std::make_unique<TRedirectedRegistry>(base); };
    services.Devices = devices ? devices : std::make_shared<TNoDevices>();
    services.SerialApi = api;
    services.SpecialPath = [docs = docs_](int) { return PathUtf8(docs); };
    services.Sound = [](const std::string&) { return true; };
    auto form = std::make_unique<TForm_Main>(factory_, services);
    form->Form->Show();
    app_.ProcessMessages();
    return form;
  }
  int S(int px) const { return px * app_.Dpi() / 96; }

  win32ui::TApp app_;
  win32ui::TFactory factory_{app_};
  std::string top_, base_, key_;
  fs::path docs_;
};

constexpr unsigned kGetCurSel = 0x0147;  // CB_GETCURSEL

TEST_F(Win32Window, FirstRunShowsWaitAndTheTitleBarStoresTheReportFolder) {
  auto form = Open();
  void* w = W(*form->Form);
  EXPECT_EQ(probe::Text(w), "Quarrow VORNEX");
  const probe::TRect client = probe::Client(w);
  EXPECT_EQ(client.width, S(616));
  EXPECT_EQ(client.height, S(194));

  void* panel = W(form->P_General);
  struct Place {
    TControl* element;
    void* parent;
    int left, top, width, height;
    const char* text;
    bool visible;
  } places[] = {
      {form->L_State, panel, 8, 8, 600, 45, "Waiting for device connected...", true},
      {form->L_Notice, panel, 8, 55, 600, 57, "", false},
      {form->B_Excel, panel, 88, 59, 180, 45, "Export to Excel", false},
      {form->B_Text, panel, 346, 59, 180, 45, "Save as text", false},
      {form->PB_Data, panel, 8, 63, 600, 32, "", false},
      {form->ChB_Singles, w, 8, 120, 292, 31, "Include single values", false},
      {form->B_Earlier, w, 304, 120, 190, 30, "Earlier readings…", true},
      {form->B_Next, w, 312, 156, 182, 30, "Read next", false},
      {form->B_Exit, w, 508, 156, 100, 30, "Exit", true},
  };
  for (const Place& p : places) {
    void* e = W(p.element);
    SCOPED_TRACE(probe::Text(e));
    EXPECT_EQ(probe::Parent(e), p.parent);
    const probe::TRect r = probe::PlaceInParent(e);
    EXPECT_EQ(r.left, S(p.left));
    EXPECT_EQ(r.top, S(p.top));
    EXPECT_EQ(r.width, S(p.width));
    EXPECT_EQ(r.height, S(p.height));
    EXPECT_EQ(probe::Text(e), p.text);
    EXPECT_EQ(probe::Shown(e), p.visible);
  }
  EXPECT_TRUE(probe::Enabled(W(form->B_Exit)));
  EXPECT_FALSE(probe::Shown(W(form->CB_Unit)));
  EXPECT_FALSE(probe::Shown(W(form->L_Unit)));
  EXPECT_EQ(probe::ComboSelection(W(form->CB_Unit)), 0);
  EXPECT_TRUE(probe::Checked(W(form->ChB_Singles)));
  EXPECT_EQ(form->SaveAsText->InitialDir(), PathUtf8(docs_));

  // The first run wrote the three defaults.
  EXPECT_EQ(probe::ReadDword(key_, "Singles"), 1u);
  EXPECT_EQ(probe::ReadDword(key_, "Unit"), 0u);
  EXPECT_EQ(probe::ReadString(key_, "DefPath"), PathUtf8(docs_));

  // A report saved elsewhere, then the title bar: the folder is stored and the loop ends.
  const fs::path elsewhere = docs_ / "reports";
  form->DefPath = PathUtf8(elsewhere);
  probe::PostClose(w);
  app_.Run();
  EXPECT_TRUE(app_.Terminated());
  EXPECT_FALSE(probe::Shown(w));
  EXPECT_FALSE(form->Timer_CheckWork->Enabled());
  EXPECT_EQ(probe::ReadString(key_, "DefPath"), PathUtf8(elsewhere));
}

TEST_F(Win32Window, StoredSettingsShowAndExitLeavesTheFolderUnstored) {
  probe::WriteDword(key_, "Unit", 2);
  probe::WriteDword(key_, "Singles", 0);
  auto form = Open();
  EXPECT_EQ(probe::Send(W(form->CB_Unit), kGetCurSel, 0, 0), 2);
  EXPECT_EQ(form->CB_Unit->Text(), "N/mm\xC2\xB2");
  EXPECT_FALSE(probe::Checked(W(form->ChB_Singles)));
  EXPECT_EQ(probe::ReadString(key_, "DefPath"), PathUtf8(docs_));

  form->DefPath = PathUtf8(docs_ / "reports");
  probe::PostClick(W(form->B_Exit));
  app_.Run();
  EXPECT_TRUE(app_.Terminated());
  EXPECT_EQ(form->SessionPhase, phStopped);
  EXPECT_EQ(probe::ReadString(key_, "DefPath"), PathUtf8(docs_));
}

// The report through the real save dialog into a folder and a file that no ANSI code page
// spells: the dialog opens in the stored folder, the file keeps its name, and the folder goes
// back into the registry unchanged.
TEST_F(Win32Window, ReportsGoIntoFoldersOfAnyNameAndTheFolderIsStoredAsIs) {
  auto form = Open();
  form->Archive.Resize(2);
  std::vector<std::uint8_t> record(128, 0);
  record[0] = 9, record[1] = 12, record[8] = 26, record[18] = 0x5E, record[19] = 1;
  form->Archive.StoreRecord(record.data(), record.size());
  form->Archive.StoreRecord(record.data(), record.size());
  form->SetStateDataReady();

  // "отчёт №1" and "отчёт №2" (an existing file would stop at the overwrite question).
  const std::string name =
      "\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82 \xE2\x84\x96"
      "1";
  const std::string second =
      "\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82 \xE2\x84\x96"
      "2";
  const fs::path later = docs_ / Utf8Path("\xC3\x84rger 2");  // "Ärger 2"
  fs::create_directories(later);
  struct Save {
    std::string typed;
    fs::path folderShown, file;
  } saves[] = {
      {name, docs_, docs_ / Utf8Path(name + ".txt")},
      {PathUtf8(later / Utf8Path(name)), docs_, later / Utf8Path(name + ".txt")},
      {second, later, later / Utf8Path(second + ".txt")},
  };
  const unsigned self = probe::ThreadId();
  for (const Save& save : saves) {
    SCOPED_TRACE(save.typed);
    std::string shown;
    bool answered = false;
    std::thread answer([&] { answered = probe::AnswerSaveDialog(self, save.typed, shown); });
    form->B_TextClick(nullptr);
    answer.join();
    ASSERT_TRUE(answered);
    EXPECT_EQ(shown, PathUtf8(save.folderShown));
    EXPECT_EQ(form->SaveAsText->FileName(), PathUtf8(save.file));
    EXPECT_EQ(form->DefPath, PathUtf8(save.file.parent_path()));
    std::ifstream in(save.file, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.substr(0, 19), " \r\nQuarrow VORNEX\r\n");
  }
  // The dialog opens where the last report went: the third save typed a bare name.
  // Each folder holds its report under its own name and nothing else.
  std::vector<fs::path> inDocs;
  for (const auto& e : fs::directory_iterator(docs_)) inDocs.push_back(e.path().filename());
  std::sort(inDocs.begin(), inDocs.end());
  EXPECT_EQ(inDocs, (std::vector<fs::path>{later.filename(), Utf8Path(name + ".txt")}));

  probe::PostClose(W(*form->Form));
  app_.Run();
  EXPECT_EQ(probe::ReadString(key_, "DefPath"), PathUtf8(later));
  // The next start reads it back as it was and opens the dialog there.
  form.reset();
  const auto next = Open();
  EXPECT_EQ(next->DefPath, PathUtf8(later));
  EXPECT_EQ(next->SaveAsText->InitialDir(), PathUtf8(later));
}

TEST_F(Win32Window, PortHeldByAnotherProgramIsToldUnderTheWaitingText) {
  auto api = std::make_shared<TFakeSerialApi>();
  api->RefuseOpen(ERROR_ACCESS_DENIED);  // how Windows refuses a COM port that is already open
  auto form = Open(std::make_shared<TOneAdapter>(), api);
  form->Timer_CheckWorkTimer(nullptr);
  app_.ProcessMessages();
  void* notice = W(form->L_Notice);
  EXPECT_TRUE(probe::Shown(notice));
  EXPECT_EQ(probe::Text(notice),
            "COM7 is in use by another program.\r\nThe search leaves it alone until the other "
            "program closes it.");
  EXPECT_EQ(probe::Text(W(form->L_State)), "Waiting for device connected...");
  api->RefuseOpen(0);
  form->Timer_CheckWorkTimer(nullptr);
  app_.ProcessMessages();
  EXPECT_FALSE(probe::Shown(notice));
}

TEST_F(Win32Window, WithoutExcelTheBuiltInWorkbookExportsAndSaysWhereItIsWhenNothingOpensIt) {
  std::vector<std::string> told;
  auto form = Open(nullptr, nullptr,
                   CreateSystemSheetSystem(
                       {FormatSettings{}, [&](const std::string& text) { told.push_back(text); }}));
  form->Archive.Resize(3);
  for (unsigned n = 1; n <= 3; ++n) {
    const auto r = TestRecord(n, n == 1 ? 2 : 0);
    form->Archive.StoreRecord(r.data(), r.size());
  }
  form->SessionPhase = phComplete;
  form->SetStateDataReady();
  app_.ProcessMessages();
  EXPECT_TRUE(probe::Shown(W(form->B_Excel)));
  EXPECT_TRUE(probe::Enabled(W(form->B_Excel)));
  // The focus is on the first export; Return in the question before leaving says no.
  EXPECT_EQ(probe::Focus(), W(form->B_Excel));
  bool noFocused = false;
  app_.Post([&] {
    noFocused = probe::Focus() == W(form->Form_Question->B_No);
    probe::PostReturn(probe::Focus());
  });
  form->B_ExitClick(nullptr);
  EXPECT_TRUE(noFocused);
  EXPECT_FALSE(app_.Terminated());
  EXPECT_EQ(form->Archive.RecCount(), 3u);

  // Nothing is registered for .xlsx here: the user learns where the workbook went.
  form->B_ExcelClick(nullptr);
  ASSERT_EQ(told.size(), 1u);
  const std::string before = "The workbook was saved as ", after = ". No program opened it.";
  ASSERT_EQ(told[0].rfind(before, 0), 0u) << told[0];
  ASSERT_GT(told[0].size(), before.size() + after.size());
  const std::string file =
      told[0].substr(before.size(), told[0].size() - before.size() - after.size());
  EXPECT_EQ(Utf8Path(file).parent_path(), Utf8Path(GetSpecialPath(CSIDL_PERSONAL)));
  EXPECT_EQ(XlsxFile(file).Sheet(1).Text("A7"), "1");
  EXPECT_EQ(XlsxFile(file).Sheet(1).Text("O9"), "21.1");
  EXPECT_EQ(probe::Focus(), W(form->B_Excel));
  std::error_code ec;
  fs::remove(file, ec);
}

// The report is written in the system's ANSI code page: a language whose letters it lacks gives
// an English report, not one of question marks.
TEST(WindowsReport, SpeaksEnglishWhereTheCodePageLacksTheLetters) {
  TAnsiEncoder system;
  if (!system.Holds("\u00E4\u00DF") || system.Holds("\u0416"))
    GTEST_SKIP() << "the cases are for a Western code page";
  struct Case {
    const char* language;
    const char* written;
  } cases[] = {{"de", "de"}, {"es", "es"}, {"ru", "en"}, {"pl", "en"}};
  for (const Case& c : cases) {
    const auto table = TStringTable::ForLanguage(c.language);
    ASSERT_NE(table, nullptr) << c.language;
    EXPECT_EQ(ReportStrings(*table).Language(), c.written) << c.language;
  }
}

}  // namespace
