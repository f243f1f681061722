// The window's design, its three states element by element, the settings and the ways out.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "../sheetexport/fake_desktop.h"
#include "form_fixture.h"
#include "mainwindow/presentation.h"
#include "sheetexport/sheet_app_builtin.h"

namespace {

// A store that fails every write of one value.
class TFailingWrites : public TRegistry {
 public:
  TFailingWrites(std::unique_ptr<TRegistry> inner, std::string failing)
      : inner_(std::move(inner)), failing_(std::move(failing)) {}
  void SetRootKey(TRootKey r) override { inner_->SetRootKey(r); }
  bool OpenKey(const std::string& k, bool c) override { return inner_->OpenKey(k, c); }
  bool OpenKeyReadOnly(const std::string& k) override { return inner_->OpenKeyReadOnly(k); }
  bool CreateKey(const std::string& k) override { return inner_->CreateKey(k); }
  bool KeyExists(const std::string& k) override { return inner_->KeyExists(k); }
  void CloseKey() override { inner_->CloseKey(); }
  bool ValueExists(const std::string& n) override { return inner_->ValueExists(n); }
  TRegDataType GetDataType(const std::string& n) override { return inner_->GetDataType(n); }
  int GetDataSize(const std::string& n) override { return inner_->GetDataSize(n); }
  std::int32_t ReadInteger(const std::string& n) override { return inner_->ReadInteger(n); }
  std::string ReadString(const std::string& n) override { return inner_->ReadString(n); }
  std::vector<std::uint8_t> ReadBinaryData(const std::string& n) override {
    return inner_->ReadBinaryData(n);
  }
  void WriteInteger(const std::string& n, std::int32_t v) override {
    Check(n);
    inner_->WriteInteger(n, v);
  }
  void WriteString(const std::string& n, const std::string& v) override {
    Check(n);
    inner_->WriteString(n, v);
  }
  void WriteBinaryData(const std::string& n, const std::vector<std::uint8_t>& d) override {
    Check(n);
    inner_->WriteBinaryData(n, d);
  }

 private:
  void Check(const std::string& n) {
    if (n == failing_) throw ERegistryException("write refused: " + n);
  }
  std::unique_ptr<TRegistry> inner_;
  std::string failing_;
};

class StatesTest : public ::testing::Test, public FormFixture {
 public:
  void UseWorkbook() { sheets = CreateBuiltinSheetSystem({format, NoDesktop(), {}}); }
  void ReadArchive(unsigned count) {
    tester = std::make_unique<TPtyTester>([&] {
      std::vector<std::vector<std::uint8_t>> r;
      for (unsigned n = 1; n <= count; ++n) r.push_back(TestRecord(n, 2));
      return r;
    }());
    Announce("t", tester->Path());
    if (form)
      form->SetStateWait();  // rescan: the tester came after the window
    else
      Start();
    ASSERT_TRUE(ReadFirstCandidate());
    ASSERT_EQ(form->SessionPhase, phComplete);
  }
  // Plays the user's answer to the question before an unsaved archive is left, "Yes" by its
  // button, "No" by the Return key; counts the asks.
  void AnswerLeaving(bool yes) {
    static_cast<headless::TForm&>(*form->Form_Question->Form).ModalAnswer =
        [this, yes](headless::TForm& q) {
          ++asked;
          yes ? static_cast<headless::TButton*>(form->Form_Question->B_Yes)->Click()
              : q.Press(headless::TKey::Return);
        };
  }
  int asked = 0;
  std::string StoredDefPath() {
    auto reg = OpenStore();
    reg->SetRootKey(TRootKey::CurrentUser);
    reg->OpenKey(TForm_Main::SettingsKey, false);
    return reg->ReadString("DefPath");
  }
  std::unique_ptr<TPtyTester> tester;
};

TEST_F(StatesTest, DesignTimePlacesAndTexts) {
  TForm_Main& f = Start();
  auto& form = static_cast<headless::TForm&>(*f.Form);
  EXPECT_EQ(form.Caption(), "Quarrow VORNEX");
  EXPECT_EQ(form.ClientWidth(), 616);
  EXPECT_EQ(form.ClientHeight(), 194);
  struct Place {
    const char* name;
    TBounds bounds;
    const char* caption;
  } places[] = {
      {"B_Excel", {88, 59, 180, 45}, "Export to Excel"},
      {"B_Text", {346, 59, 180, 45}, "Save as text"},
      {"B_Earlier", {304, 120, 190, 30}, "Earlier readings…"},
      {"B_Next", {312, 156, 182, 30}, "Read next"},
      {"B_Exit", {508, 156, 100, 30}, "Exit"},
  };
  for (const Place& p : places) {
    auto& b = Element<headless::TButton>(p.name);
    EXPECT_EQ(b.Caption(), p.caption);
    EXPECT_EQ(b.Bounds().Left, p.bounds.Left) << p.name;
    EXPECT_EQ(b.Bounds().Top, p.bounds.Top) << p.name;
    EXPECT_EQ(b.Bounds().Width, p.bounds.Width) << p.name;
    EXPECT_EQ(b.Bounds().Height, p.bounds.Height) << p.name;
    const bool onPanel = std::string(p.name) == "B_Excel" || std::string(p.name) == "B_Text";
    EXPECT_EQ(b.Parent() == f.P_General, onPanel) << p.name;
  }
  EXPECT_EQ(Element<headless::TComboBox>("CB_Unit").Items(),
            (std::vector<std::string>{"MPa", "kg/cm²", "N/mm²", "PSI"}));
  EXPECT_EQ(Element<headless::TComboBox>("CB_Unit").Design().ItemHeight, 20);
  EXPECT_EQ(Element<headless::TLabel>("L_Unit").Caption(), "Unit");
  EXPECT_EQ(Element<headless::TCheckBox>("ChB_Singles").Caption(), "Include single values");
  EXPECT_EQ(f.SaveAsText->DefaultExt(), "txt");
  EXPECT_EQ(f.SaveAsText->Filter(),
            "Text files (*.txt)|*.txt|PDF protocol (*.pdf)|*.pdf|CSV table (*.csv)|*.csv|All Files "
            "(*.*)|*.*");
  EXPECT_EQ(f.SaveAsText->Options(),
            unsigned(ofOverwritePrompt | ofPathMustExist | ofHideReadOnly | ofEnableSizing));
  EXPECT_EQ(f.srComm1->ByteSize(), 8);
  EXPECT_EQ(f.srComm1->Parity(), pNone);
  EXPECT_EQ(f.srComm1->StopBits(), sbOne);
  EXPECT_EQ(f.srComm1->EnumPorts(), epFullPresent);
  EXPECT_TRUE(f.srComm1->UseMainThread());
}

// Visible and enabled of each element in a state.
struct TLook {
  bool pb, excel, excelEnabled, text, next, singles, singlesEnabled, unitLabel, exitEnabled,
      earlier;
};

TLook LookOf(TForm_Main& f) {
  return {f.PB_Data->Visible(),     f.B_Excel->Visible(), f.B_Excel->Enabled(),
          f.B_Text->Visible(),      f.B_Next->Visible(),  f.ChB_Singles->Visible(),
          f.ChB_Singles->Enabled(), f.L_Unit->Visible(),  f.B_Exit->Enabled(),
          f.B_Earlier->Visible()};
}

void ExpectLook(const TLook& got, const TLook& want, const char* state) {
  SCOPED_TRACE(state);
  EXPECT_EQ(got.pb, want.pb);
  EXPECT_EQ(got.excel, want.excel);
  if (want.excel) {
    EXPECT_EQ(got.excelEnabled, want.excelEnabled);
  }
  EXPECT_EQ(got.text, want.text);
  EXPECT_EQ(got.next, want.next);
  EXPECT_EQ(got.singles, want.singles);
  EXPECT_EQ(got.singlesEnabled, want.singlesEnabled);
  EXPECT_EQ(got.unitLabel, want.unitLabel);
  EXPECT_EQ(got.exitEnabled, want.exitEnabled);
  EXPECT_EQ(got.earlier, want.earlier);
}

TEST_F(StatesTest, StatesElementByElement) {
  for (const bool withWorkbook : {false, true}) {
    SCOPED_TRACE(withWorkbook ? "with a spreadsheet" : "without a spreadsheet");
    if (withWorkbook) UseWorkbook();
    form.reset();
    tester.reset();
    WithdrawVirtualPort(Ports(), "t");
    Start();
    TForm_Main& f = *form;
    ExpectLook(LookOf(f), {false, false, false, false, false, false, true, false, true, true},
               "Wait");
    EXPECT_EQ(f.L_State->Caption(), "Waiting for device connected...");
    ReadArchive(3);
    ExpectLook(LookOf(f), {false, true, withWorkbook, true, true, true, true, true, true, true},
               "DataReady");
    // Return after a reading starts an export, never "Exit".
    auto* firstExport = static_cast<headless::TButton*>(withWorkbook ? f.B_Excel : f.B_Text);
    EXPECT_TRUE(firstExport->Focused());
    EXPECT_EQ(f.CB_Unit->Visible(), true);
    EXPECT_EQ(f.CB_Unit->Enabled(), true);

    TLook during{};
    std::string caption;
    int max = 0;
    static_cast<headless::TSaveDialog*>(f.SaveAsText)->Answer = [&](headless::TSaveDialog&) {
      during = LookOf(f);
      caption = f.L_State->Caption();
      max = f.PB_Data->Max();
      EXPECT_FALSE(f.CB_Unit->Enabled());
      EXPECT_TRUE(f.CB_Unit->Visible());
      return std::nullopt;
    };
    ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Text)->Click());
    ExpectLook(during, {true, false, false, false, false, true, false, true, false, false},
               "Export");
    EXPECT_EQ(caption, "Export in progress...");
    EXPECT_EQ(max, 100);
    ExpectLook(LookOf(f), {false, true, withWorkbook, true, true, true, true, true, true, true},
               "DataReady again");
    EXPECT_TRUE(firstExport->Focused());
    EXPECT_TRUE(static_cast<headless::TForm&>(*f.Form).Press(headless::TKey::Return));
    EXPECT_FALSE(app.Terminated());
  }
}

// Each reading is kept; "Earlier readings…" lists them newest first, opens one as if it had just
// been read (Return) and deletes one after a question.
TEST_F(StatesTest, EarlierReadingsOpenAsIfJustReadAndGoAfterAQuestion) {
  ReadArchive(3);
  TForm_Main& f = *form;
  EXPECT_EQ(f.KeptReading(), 1);
  tester.reset();
  WithdrawVirtualPort(Ports(), "t");
  ReadArchive(5);
  EXPECT_EQ(f.KeptReading(), 2);
  ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Next)->Click());
  EXPECT_FALSE(f.KeptReading());

  const std::string when = DateTimeText(EncodeDateTime(2026, 12, 9, 10, 30, 0, 0), format);
  std::vector<std::string> steps;
  bool deleteNo = true;
  app.ModalAnswer = [&](headless::TForm& d) {
    steps.push_back(d.Design().Name);
    if (d.Design().Name == "Form_Question") {
      EXPECT_NE(d.Find<headless::TLabel>("L_Question")->Caption().find(when), std::string::npos);
      d.Find<headless::TButton>(deleteNo ? "B_No" : "B_Yes")->Click();
      deleteNo = false;
      return;
    }
    auto* list = d.Find<headless::TListView>("LV_Readings");
    ASSERT_NE(list, nullptr);
    if (steps.size() == 1) {  // open the older one
      ASSERT_EQ(list->RowCount(), 2);
      EXPECT_EQ(list->Row(0),
                (std::vector<std::string>{
                    when, "FTDI test tester on " + (Ports() / "t" / "tty").string(), "5", "2"}));
      EXPECT_EQ(list->Row(1)[2], "3");
      EXPECT_EQ(list->Row(1)[3], "3");
      EXPECT_EQ(list->ItemIndex(), 0);
      list->Select(1);
      d.Press(headless::TKey::Return);
    } else {  // delete the one shown, asked twice; then Escape
      list->Select(1);
      d.Find<headless::TButton>("B_Delete")->Click();
      EXPECT_EQ(list->RowCount(), 2);
      d.Find<headless::TButton>("B_Delete")->Click();
      EXPECT_EQ(list->RowCount(), 1);
      d.Press(headless::TKey::Escape);
    }
  };
  ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Earlier)->Click());
  EXPECT_EQ(f.SessionPhase, phComplete);
  EXPECT_EQ(f.KeptReading(), 1);
  EXPECT_EQ(f.L_State->Caption(),
            "Earlier reading of " + when + ", records: 3.\r\nPlease select unit and save file.");
  ASSERT_EQ(f.Archive.RecCount(), 3u);
  for (unsigned n = 1; n <= 3; ++n) {
    const auto r = TestRecord(n, 2);
    EXPECT_TRUE(std::equal(r.begin(), r.end(), f.Archive.Slot(n - 1).begin())) << n;
  }
  EXPECT_TRUE(f.B_Text->Visible() && f.B_Excel->Visible());

  ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Earlier)->Click());
  EXPECT_EQ(steps, (std::vector<std::string>{"Form_Readings", "Form_Readings", "Form_Question",
                                             "Form_Question"}));
  EXPECT_FALSE(f.KeptReading());  // what the window shows is kept no more
  EXPECT_EQ(f.Archive.RecCount(), 3u);
  EXPECT_EQ(TReadingStore(readings).List().size(), 1u);
  EXPECT_TRUE(app.Errors().empty()) << app.Errors().front();
}

// The window and another program (the command-line reader) keep readings in one file at once.
TEST_F(StatesTest, WindowAndAnotherProgramKeepReadingsInOneFileAtOnce) {
  { TReadingStore create(readings); }
  const pid_t other = fork();
  ASSERT_GE(other, 0);
  if (other == 0) {
    int code = 0;
    try {
      TReadingStore store(readings);
      TArchive a;
      a.Resize(3000);
      for (unsigned n = 1; n <= 3000; ++n) {
        const auto r = TestRecord(n + 100, 49);
        a.StoreRecord(r.data(), r.size());
      }
      for (int i = 0; i < 15; ++i) store.Store({}, a);
    } catch (...) {
      code = 1;
    }
    _exit(code);
  }
  for (unsigned count : {3u, 4u}) {
    tester.reset();
    WithdrawVirtualPort(Ports(), "t");
    ReadArchive(count);
    EXPECT_TRUE(form->KeptReading()) << count;
  }
  int status = 0;
  waitpid(other, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(TReadingStore(readings).List().size(), 17u);
}

// A reading that cannot be kept is still there to export; the window says why once.
TEST_F(StatesTest, ReadingThatCannotBeKeptIsToldOnceAndStaysExportable) {
  std::ofstream(Root() / "file") << "in the way";
  readings = Root() / "file" / "readings.sqlite3";
  std::vector<std::string> told;
  Start();
  InfoForm().ModalAnswer = [&](headless::TForm& d) {
    std::string text = form->Form_Info->L_Info->Caption();  // broken into lines to fit
    std::replace(text.begin(), text.end(), '\n', ' ');
    told.push_back(text);
    d.Close();
  };
  for (int round = 0; round < 2; ++round) {
    if (round == 0) {
      ReadArchive(2);
    } else {
      form->SetStateWait();
      ASSERT_TRUE(ReadFirstCandidate());
    }
    EXPECT_EQ(form->SessionPhase, phComplete);
    EXPECT_TRUE(form->B_Text->Visible());
    EXPECT_FALSE(form->KeptReading());
  }
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].rfind("This reading was not kept among the earlier readings.", 0), 0u)
      << told[0];
  EXPECT_NE(told[0].find("Not a directory"), std::string::npos) << told[0];
}

// A damaged store is moved aside, the reading kept in a new one and the user told where.
TEST_F(StatesTest, DamagedStoreIsMovedAsideAndTheUserTold) {
  std::ofstream(readings) << "not a database" << std::string(4096, '!');
  std::vector<std::string> told;
  Start();
  InfoForm().ModalAnswer = [&](headless::TForm& d) {
    told.push_back(form->Form_Info->L_Info->Caption());
    d.Close();
  };
  ReadArchive(2);
  EXPECT_EQ(form->KeptReading(), 1);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].rfind("The file of earlier readings was damaged.", 0), 0u) << told[0];
  EXPECT_NE(told[0].find("readings.sqlite3.damaged-"), std::string::npos) << told[0];
  EXPECT_EQ(TReadingStore(readings).List().size(), 1u);
}

TEST_F(StatesTest, FirstRunStoresTheThreeDefaults) {
  TForm_Main& f = Start();
  EXPECT_TRUE(f.ChB_Singles->Checked());
  EXPECT_EQ(f.CB_Unit->Text(), "MPa");
  auto reg = OpenStore();
  reg->SetRootKey(TRootKey::CurrentUser);
  ASSERT_TRUE(reg->OpenKey(TForm_Main::SettingsKey, false));
  EXPECT_EQ(reg->GetDataType("Singles"), TRegDataType::rdInteger);
  EXPECT_EQ(reg->ReadInteger("Singles"), 1);
  EXPECT_EQ(reg->GetDataType("Unit"), TRegDataType::rdInteger);
  EXPECT_EQ(reg->ReadInteger("Unit"), 0);
  EXPECT_EQ(reg->GetDataType("DefPath"), TRegDataType::rdString);
  EXPECT_EQ(reg->ReadString("DefPath"), Docs().string());
  EXPECT_EQ(reg->ReadInteger("DefFilter"), 1);
  EXPECT_EQ(f.SaveAsText->InitialDir(), Docs().string());
  EXPECT_EQ(f.SaveAsText->FilterIndex(), 1);
}

TEST_F(StatesTest, StoredSettingsAreShownAndOddOnesReadAsDefaults) {
  struct Case {
    const char* name;
    std::function<void(TRegistry&)> store;
    int unitIndex;
    bool singles;
    int filter = 1;
  } cases[] = {
      {"unit 2", [](TRegistry& r) { r.WriteInteger("Unit", 2); }, 2, true},
      {"PDF chosen last", [](TRegistry& r) { r.WriteInteger("DefFilter", 2); }, 0, true, 2},
      {"type out of range", [](TRegistry& r) { r.WriteInteger("DefFilter", 5); }, 0, true, 1},
      {"unit 3, no singles",
       [](TRegistry& r) {
         r.WriteInteger("Unit", 3);
         r.WriteInteger("Singles", 0);
       },
       3, false},
      {"unit as text", [](TRegistry& r) { r.WriteString("Unit", "2"); }, 0, true},
      {"unit out of range", [](TRegistry& r) { r.WriteInteger("Unit", 7); }, 0, true},
      {"negative unit", [](TRegistry& r) { r.WriteInteger("Unit", -1); }, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(Store());
    {
      auto reg = OpenStore();
      reg->SetRootKey(TRootKey::CurrentUser);
      ASSERT_TRUE(reg->OpenKey(TForm_Main::SettingsKey, true));
      c.store(*reg);
    }
    TForm_Main& f = Start();
    EXPECT_EQ(f.CB_Unit->ItemIndex(), c.unitIndex);
    EXPECT_EQ(f.Unit, c.unitIndex);
    EXPECT_EQ(f.ChB_Singles->Checked(), c.singles);
    EXPECT_EQ(f.Singles, c.singles);
    EXPECT_EQ(f.SaveAsText->FilterIndex(), c.filter);
    form.reset();
  }
}

TEST_F(StatesTest, CorruptStoreGivesDefaultsAndTheProgramStarts) {
  Start();
  form.reset();
  int spoiled = 0;
  for (const auto& e : fs::recursive_directory_iterator(Store()))
    if (e.is_regular_file()) {
      std::ofstream(e.path(), std::ios::binary | std::ios::trunc) << "\x01garbage[[[\xff";
      ++spoiled;
    }
  ASSERT_GT(spoiled, 0);
  TForm_Main& f = Start();
  EXPECT_TRUE(f.Singles);
  EXPECT_EQ(f.Unit, 0);
  EXPECT_EQ(f.DefPath, Docs().string());
  EXPECT_EQ(f.L_State->Caption(), "Waiting for device connected...");
  // Kept aside under a dated name, and said once the window runs.
  std::vector<std::string> told;
  InfoForm().ModalAnswer = [&](headless::TForm& d) {
    told.push_back(f.Form_Info->info_text);
    d.Close();
  };
  app.ProcessMessages();
  ASSERT_EQ(told.size(), 1u);
  const fs::path kept = f.Reg()->DamagedStoreKeptAs();
  EXPECT_EQ(told[0], "The settings were damaged and start afresh. The damaged file was kept as " +
                         kept.string() + ".");
  std::string content;
  std::getline(std::ifstream(kept, std::ios::binary), content, '\0');
  EXPECT_EQ(content, "\x01garbage[[[\xff");
}

TEST_F(StatesTest, ChoicesAreStoredAtOnce) {
  TForm_Main& f = Start();
  ReadArchive(1);
  ASSERT_TRUE(static_cast<headless::TComboBox*>(f.CB_Unit)->Select(3));
  ASSERT_TRUE(static_cast<headless::TCheckBox*>(f.ChB_Singles)->Click());
  EXPECT_EQ(f.Unit, 3);
  EXPECT_FALSE(f.Singles);
  auto reg = OpenStore();
  reg->SetRootKey(TRootKey::CurrentUser);
  reg->OpenKey(TForm_Main::SettingsKey, false);
  EXPECT_EQ(reg->ReadInteger("Unit"), 3);
  EXPECT_EQ(reg->ReadInteger("Singles"), 0);
}

// Saves a report into another folder, then leaves the program as the user chose; returns the
// folder stored afterwards. Each way of leaving ends the application's loop for good.
std::string LeaveAfterSavingElsewhere(StatesTest& t, bool byExit) {
  fs::create_directories(t.Root() / "elsewhere");
  const std::string report = (t.Root() / "elsewhere" / "lab").string();
  t.ReadArchive(2);
  TForm_Main& f = *t.form;
  static_cast<headless::TSaveDialog*>(f.SaveAsText)->Answer = [&](headless::TSaveDialog&) {
    return std::optional<std::string>(report);
  };
  EXPECT_TRUE(static_cast<headless::TButton*>(f.B_Text)->Click());
  EXPECT_TRUE(fs::exists(report + ".txt"));
  EXPECT_EQ(f.DefPath, (t.Root() / "elsewhere").string());
  if (byExit)
    EXPECT_TRUE(static_cast<headless::TButton*>(f.B_Exit)->Click());
  else
    f.Form->Close();
  EXPECT_TRUE(t.app.Terminated());
  EXPECT_FALSE(f.srComm1->Active());
  EXPECT_EQ(f.SessionPhase, byExit ? phStopped : phComplete);
  return t.StoredDefPath();
}

TEST_F(StatesTest, TitleBarCloseStoresTheReportFolder) {
  EXPECT_EQ(LeaveAfterSavingElsewhere(*this, false), (Root() / "elsewhere").string());
  EXPECT_FALSE(form->Timer_CheckWork->Enabled());
}

TEST_F(StatesTest, ExitLeavesTheStoredFolderAsItWas) {
  EXPECT_EQ(LeaveAfterSavingElsewhere(*this, true), Docs().string());
}

TEST_F(StatesTest, CloseGoesOnWhenTheFolderCannotBeStored) {
  registry = [this] { return std::make_unique<TFailingWrites>(OpenStore(), "DefPath"); };
  ReadArchive(1);
  TForm_Main& f = *form;
  AnswerLeaving(true);
  static_cast<headless::TButton*>(f.B_Next)->Click();
  Tick(2500);
  ASSERT_TRUE(f.srComm1->Active());
  f.Form->Close();
  EXPECT_FALSE(f.srComm1->Active());
  EXPECT_FALSE(f.Timer_CheckWork->Enabled());
  EXPECT_FALSE(f.Timer_DeviceRefresh->Enabled());
  EXPECT_EQ(f.Reg(), nullptr);
  EXPECT_TRUE(app.Errors().empty());
}

TEST_F(StatesTest, LeavingAnArchiveNeitherSavedNorExportedAsksFirst) {
  enum Way { kExit, kNext, kClose };
  const struct {
    const char* name;
    Way way;
    bool saved, yes;
    int asked;
    bool left;
    bool kept = false;  // the earlier readings keep it
  } cases[] = {
      // Leaving by "Exit" after a saved report: LeaveAfterSavingElsewhere. The one case that
      // ends the application comes last.
      {"Read next, answered no", kNext, false, false, 1, false},
      {"Read next, answered yes", kNext, false, true, 1, true},
      {"Read next after a saved report", kNext, true, false, 0, true},
      {"Exit, answered no", kExit, false, false, 1, false},
      {"title bar, answered no", kClose, false, false, 1, false},
      {"title bar, answered yes", kClose, false, true, 1, true},
      {"Read next, kept though not exported", kNext, false, false, 0, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    form.reset();
    tester.reset();
    WithdrawVirtualPort(Ports(), "t");
    asked = 0;
    keepReadings = c.kept;
    ReadArchive(2);
    TForm_Main& f = *form;
    if (c.saved) {
      static_cast<headless::TSaveDialog*>(f.SaveAsText)->Answer = [&](headless::TSaveDialog&) {
        return std::optional<std::string>((Root() / "kept.txt").string());
      };
      ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Text)->Click());
    }
    AnswerLeaving(c.yes);
    if (c.way == kClose)
      f.Form->Close();
    else
      ASSERT_TRUE(static_cast<headless::TButton*>(c.way == kExit ? f.B_Exit : f.B_Next)->Click());
    EXPECT_EQ(asked, c.asked);
    const bool left = c.way == kExit   ? f.SessionPhase == phStopped
                      : c.way == kNext ? f.SessionPhase == phSearching
                                       : f.Reg() == nullptr;  // the close steps ran
    EXPECT_EQ(left, c.left);
    if (!c.left) EXPECT_EQ(f.Archive.RecCount(), 2u);
    if (!c.left) EXPECT_FALSE(app.Terminated());
    const bool toldKept = f.L_Notice->Caption().find(Str(TS::EarlierReadings)) != std::string::npos;
    EXPECT_EQ(toldKept, c.kept) << f.L_Notice->Caption();
  }
  EXPECT_TRUE(LeavingNeedsQuestion(false, false));
  EXPECT_FALSE(LeavingNeedsQuestion(false, true));  // a kept reading is only mentioned
}

TEST_F(StatesTest, ExitMidReadingEndsQuickly) {
  TPtyTester slow([] {
    std::vector<std::vector<std::uint8_t>> r;
    for (unsigned n = 1; n <= 2000; ++n) r.push_back(TestRecord(n, 49));
    return r;
  }());
  Announce("t", slow.Path());
  TForm_Main& f = Start();
  Tick(2500);
  ASSERT_TRUE(PumpUntil([&] { return f.SeenIdle; }));
  Tick(1000);
  ASSERT_TRUE(PumpUntil([&] { return f.Archive.RecCount() > 10; }));
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Exit)->Click());
  form.reset();
  const auto took = std::chrono::steady_clock::now() - t0;
  EXPECT_TRUE(app.Terminated());
  EXPECT_LT(took, std::chrono::seconds(1));
}

}  // namespace
