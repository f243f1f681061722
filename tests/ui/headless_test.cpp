#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/exceptions.h"
#include "ui/headless/headless.h"

namespace {

struct Fixture : ::testing::Test {
  headless::TManualClock clock;
  headless::TApp app{clock};
  headless::TFactory factory{app};
  std::unique_ptr<TForm> form = factory.CreateForm({.Name = "F", .ClientWidth = 100}, nullptr);
};

using TimerTest = Fixture;

// Ticks of a 1000 ms timer while the test rewrites its settings at 600 ms.
TEST_F(TimerTest, RewritesRestartOnlyOnADifferentInterval) {
  struct Case {
    const char* what;
    std::function<void(TTimer&)> rewrite;
    std::uint64_t first_tick;  // ms after start
  };
  const Case cases[] = {
      {"untouched", [](TTimer&) {}, 1000},
      {"equal interval", [](TTimer& t) { t.SetInterval(1000); }, 1000},
      {"enabled again while running", [](TTimer& t) { t.SetEnabled(true); }, 1000},
      {"different interval", [](TTimer& t) { t.SetInterval(500); }, 1100},
      {"disabled and enabled", [](TTimer& t) { t.SetEnabled(false), t.SetEnabled(true); }, 1600},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TTimer* t = factory.CreateTimer(*form, {.Name = "T", .Enabled = false, .Interval = 1000});
    std::vector<std::uint64_t> ticks;
    t->OnTimer = [&](TObject*) { ticks.push_back(clock.NowMs()); };
    const std::uint64_t start = clock.NowMs();
    t->SetEnabled(true);
    app.Advance(600);
    c.rewrite(*t);
    app.Advance(1100);
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.front() - start, c.first_tick);
    t->SetEnabled(false);
  }
}

TEST_F(TimerTest, KeepsTickingAtTheNewIntervalSetInItsHandler) {
  TTimer* t = factory.CreateTimer(*form, {.Name = "T", .Enabled = true, .Interval = 2500});
  std::vector<std::uint64_t> ticks;
  t->OnTimer = [&](TObject*) {
    ticks.push_back(clock.NowMs());
    t->SetInterval(1000);
  };
  app.Advance(5000);
  EXPECT_EQ(ticks, (std::vector<std::uint64_t>{2500, 3500, 4500}));
}

TEST_F(TimerTest, AnErrorInATickIsReportedAndTheLoopGoesOn) {
  app.SetTitle("Quarrow VORNEX");
  std::string title;
  app.OnError = [&](const std::string& t, const std::string&) { title = t; };
  TTimer* t = factory.CreateTimer(*form, {.Name = "T", .Enabled = true, .Interval = 100});
  int ticks = 0;
  t->OnTimer = [&](TObject*) {
    if (++ticks == 1) throw Exception("Disk full");
  };
  app.Advance(250);
  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(app.Errors(), std::vector<std::string>{"Disk full."});
  EXPECT_EQ(title, "Quarrow VORNEX");
}

TEST(ErrorReport, FullStopRuleAndInnermostMessage) {
  struct Case {
    std::string message, shown;
  };
  const Case cases[] = {
      {"Cannot open", "Cannot open."},
      {"Error 5", "Error 5."},
      {"Done.", "Done."},
      {"Stop!", "Stop!"},
      {"(see log)", "(see log)"},
      {"trailing ", "trailing "},
      {"a-", "a-"},
      {"a/", "a/."},
      {"", ""},
      {"Ошибка", "Ошибка."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorReportText(std::make_exception_ptr(Exception(c.message))), c.shown) << c.message;
  }
  std::exception_ptr nested;
  try {
    try {
      throw EOSError("Access denied", 5);
    } catch (...) {
      std::throw_with_nested(Exception("Cannot create file"));
    }
  } catch (...) {
    nested = std::current_exception();
  }
  EXPECT_EQ(ErrorReportText(nested), "Access denied.");
  EXPECT_EQ(ErrorReportText(std::make_exception_ptr(EAbort())), std::nullopt);
}

using LoopTest = Fixture;

TEST_F(LoopTest, PostsAndSynchronizeFromAnotherThreadRunOnTheLoop) {
  std::atomic<int> on_main{0};
  bool synced = false;
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) app.Post([&] { on_main += app.IsMainThread() ? 1 : 1000; });
    synced = app.Synchronize([&] {
      on_main += app.IsMainThread() ? 1 : 1000;
      app.Terminate();
    });
  });
  app.Run();
  worker.join();
  EXPECT_TRUE(synced);
  EXPECT_EQ(on_main.load(), 101);
}

TEST_F(LoopTest, SynchronizeGivesUpWhenTheLoopEnds) {
  std::atomic<bool> ran{false};
  std::atomic<int> result{-1};
  std::thread waiting([&] { result = app.Synchronize([&] { ran = true; }) ? 1 : 0; });
  // Nothing pumps the queue; ending the loop must release the waiting thread.
  while (result == -1) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    app.Terminate();
  }
  waiting.join();
  app.ProcessMessages();
  EXPECT_EQ(result.load(), 0);
  EXPECT_FALSE(ran.load());
  std::thread late([&] { result = app.Synchronize([&] { ran = true; }) ? 1 : 0; });
  late.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_FALSE(ran.load());
}

TEST(RealClockLoop, RunWakesForTheNextTimerAndPosts) {
  headless::TSteadyClock clock;
  headless::TApp app(clock);
  headless::TFactory factory(app);
  auto form = factory.CreateForm({.Name = "F"}, nullptr);
  // Taken before the timer starts counting, so that three intervals lie wholly inside.
  const auto start = clock.NowMs();
  TTimer* t = factory.CreateTimer(*form, {.Name = "T", .Enabled = true, .Interval = 30});
  int ticks = 0;
  t->OnTimer = [&](TObject*) {
    if (++ticks == 3) app.Terminate();
  };
  app.Run();
  const auto took = clock.NowMs() - start;
  EXPECT_EQ(ticks, 3);
  EXPECT_GE(took, 90u);
  EXPECT_LT(took, 1000u);
}

using ModalTest = Fixture;

TEST_F(ModalTest, AnsweredInsideANestedLoop) {
  auto dialog = factory.CreateForm({.Name = "D"}, form.get());
  auto* ok = factory.CreateButton(*dialog, nullptr, {.Name = "B", .Caption = "Ok"});
  ok->OnClick = [&](TObject*) { dialog->SetModalResult(mrOk); };
  TTimer* t = factory.CreateTimer(*form, {.Name = "T", .Enabled = true, .Interval = 10});
  int ticks = 0;
  t->OnTimer = [&](TObject*) { ++ticks; };
  bool posted_ran = false;
  auto& d = dynamic_cast<headless::TForm&>(*dialog);
  d.ModalAnswer = [&](headless::TForm& f) {
    EXPECT_TRUE(f.Visible());
    app.Post([&] {
      posted_ran = true;  // the nested loop dispatches this before the click
      app.Advance(25);
      EXPECT_TRUE(f.Find<headless::TButton>("B")->Click());
    });
  };
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  EXPECT_TRUE(posted_ran);
  EXPECT_EQ(ticks, 2);
  EXPECT_FALSE(dialog->Visible());
}

TEST_F(ModalTest, OnCloseCanKeepTheFormOpen) {
  auto dialog = factory.CreateForm({.Name = "D"}, form.get());
  int closes = 0;
  dialog->OnClose = [&](TObject*, TCloseAction& action) {
    if (++closes == 1) action = caNone;
  };
  auto& d = dynamic_cast<headless::TForm&>(*dialog);
  d.ModalAnswer = [&](headless::TForm& f) {
    f.Close();
    app.Post([&] { f.Close(); });
  };
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  EXPECT_EQ(closes, 2);
}

TEST_F(ModalTest, ClosingTheMainFormEndsTheApplication) {
  app.SetMainForm(form.get());
  form->Show();
  form->Close();
  EXPECT_TRUE(app.Terminated());
  EXPECT_FALSE(form->Visible());
}

TEST_F(LoopTest, UserActionsReachOnlyShownEnabledElements) {
  auto* panel = factory.CreatePanel(*form, nullptr, {.Name = "P"});
  auto* button = factory.CreateButton(*form, panel, {.Name = "B"});
  auto* combo =
      factory.CreateComboBox(*form, nullptr, {.Name = "C", .Items = {"a", "b"}, .ItemIndex = 0});
  int clicks = 0, changes = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  combo->OnChange = [&](TObject*) { ++changes; };
  auto& f = dynamic_cast<headless::TForm&>(*form);
  auto* b = f.Find<headless::TButton>("B");
  EXPECT_TRUE(b->Click());
  panel->SetVisible(false);
  EXPECT_FALSE(b->Click());
  EXPECT_EQ(clicks, 1);
  combo->SetItemIndex(1);
  combo->SetItemIndex(7);
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(combo->Text(), "");
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(f.Find<headless::TComboBox>("C")->Select(1));
  EXPECT_EQ(combo->Text(), "b");
  EXPECT_EQ(changes, 1);
}

TEST_F(LoopTest, SaveDialogAppliesDefaultExtensionAndRefusesAMissingFolder) {
  auto* dialog = factory.CreateSaveDialog(
      *form, {.Name = "S", .DefaultExt = "txt", .Options = ofPathMustExist | ofOverwritePrompt});
  auto& s = dynamic_cast<headless::TSaveDialog&>(*dialog);
  EXPECT_FALSE(dialog->Execute());  // no answer: Cancel
  const std::string dir = ::testing::TempDir();
  s.Answer = [&](headless::TSaveDialog&) { return dir + "/report"; };
  ASSERT_TRUE(dialog->Execute());
  EXPECT_EQ(dialog->FileName(), dir + "/report.txt");
  s.Answer = [&](headless::TSaveDialog&) { return dir + "/report.csv"; };
  ASSERT_TRUE(dialog->Execute());
  EXPECT_EQ(dialog->FileName(), dir + "/report.csv");
  // A name without an extension takes the chosen type's; all files take the default.
  dialog->SetFilter("Text (*.txt)|*.txt|PDF (*.pdf)|*.pdf|Both|*.txt;*.pdf|All (*.*)|*.*");
  for (const auto& [index, name] : std::vector<std::pair<int, std::string>>{
           {1, "report.txt"}, {2, "report.pdf"}, {3, "report.txt"}, {4, "report.txt"}}) {
    s.Answer = [&, index = index](headless::TSaveDialog& d) {
      d.SetFilterIndex(index);
      return dir + "/report";
    };
    ASSERT_TRUE(dialog->Execute());
    EXPECT_EQ(dialog->FileName(), dir + "/" + name) << index;
  }
  dialog->SetFilterIndex(1);
  // A missing folder is refused with a message and the dialog stays for another answer.
  std::vector<std::optional<std::string>> answers = {dir + "/no/such/folder/r.txt", dir + "/r2",
                                                     dir + "/gone/r.txt", std::nullopt};
  std::size_t asked = 0;
  s.Answer = [&](headless::TSaveDialog&) { return answers[asked++]; };
  ASSERT_TRUE(dialog->Execute());
  EXPECT_EQ(dialog->FileName(), dir + "/r2.txt");
  EXPECT_FALSE(dialog->Execute());  // refused, then cancelled
  EXPECT_EQ(asked, 4u);
  EXPECT_EQ(s.Refused(), (std::vector<std::string>{dir + "/no/such/folder", dir + "/gone"}));
  EXPECT_EQ(s.Shown(), 9);
}

TEST_F(LoopTest, ReturnPressesTheFocusedButtonOrTheDefaultEscapeTheCancel) {
  auto* panel = factory.CreatePanel(*form, nullptr, {.Name = "P"});
  auto* plain = factory.CreateButton(*form, panel, {.Name = "Plain"});
  auto* ok = factory.CreateButton(*form, nullptr, {.Name = "Ok", .Default = true});
  auto* cancel = factory.CreateButton(*form, nullptr, {.Name = "Cancel", .Cancel = true});
  std::string clicked;
  for (auto* b : {plain, ok, cancel})
    b->OnClick = [&clicked, b](TObject*) { clicked += b->Caption(); };
  plain->SetCaption("p");
  ok->SetCaption("o");
  cancel->SetCaption("c");
  auto& f = dynamic_cast<headless::TForm&>(*form);
  struct Case {
    TButton* focus;
    bool panel_shown;
    headless::TKey key;
    const char* clicked;
  } cases[] = {
      {plain, true, headless::TKey::Return, "p"},   // the focused button, not the default
      {plain, false, headless::TKey::Return, "o"},  // focused but out of reach: the default
      {nullptr, true, headless::TKey::Return, "o"}, {cancel, true, headless::TKey::Return, "c"},
      {plain, true, headless::TKey::Escape, "c"},
  };
  for (const Case& c : cases) {
    clicked.clear();
    panel->SetVisible(c.panel_shown);
    if (c.focus)
      c.focus->SetFocus();
    else
      f.SetFocusedButton(nullptr);
    EXPECT_TRUE(f.Press(c.key));
    EXPECT_EQ(clicked, c.clicked);
  }
  // Without a Default or Cancel button the keys press nothing.
  ok->SetEnabled(false);
  cancel->SetVisible(false);
  f.SetFocusedButton(nullptr);
  clicked.clear();
  EXPECT_FALSE(f.Press(headless::TKey::Return));
  EXPECT_FALSE(f.Press(headless::TKey::Escape));
  EXPECT_EQ(clicked, "");
}

}  // namespace
