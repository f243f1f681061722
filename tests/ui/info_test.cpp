#include <gtest/gtest.h>

#include "infodialog/info.h"
#include "ui/headless/headless.h"

namespace {

struct InfoTest : ::testing::Test {
  headless::TManualClock clock;
  headless::TApp app{clock};
  headless::TFactory factory{app};
  std::unique_ptr<TForm> main = factory.CreateForm({.Name = "Form_Main"}, nullptr);
  std::vector<std::string> played;
  bool sound_works = true;
  TForm_Info info{factory, main.get(), [this](const std::string& alias) {
                    played.push_back(alias);
                    if (alias == "broken") throw std::runtime_error("no sound device");
                    return sound_works;
                  }};
  headless::TForm& dialog = dynamic_cast<headless::TForm&>(*info.Form);

  TModalResult Show(const std::string& text, const std::string& caption, const std::string& sound) {
    info.info_text = text;
    info.info_caption = caption;
    info.info_sound = sound;
    return info.Form->ShowModal();
  }
};

TEST_F(InfoTest, DesignTimeValues) {
  EXPECT_EQ(info.Form->Caption(), "Information");
  EXPECT_EQ(info.Form->ClientWidth(), 346);
  EXPECT_EQ(info.Form->ClientHeight(), 109);
  const TBounds ok = info.B_Ok->Bounds();
  EXPECT_EQ(std::tie(ok.Left, ok.Top, ok.Width, ok.Height), std::make_tuple(133, 66, 85, 30));
  EXPECT_EQ(info.B_Ok->Caption(), "Ok");
  const auto& label = dialog.Find<headless::TLabel>("L_Info")->Design();
  EXPECT_EQ(label.Align, alTop);
  EXPECT_EQ(label.Bounds.Height, 53);
  EXPECT_EQ(label.Alignment, taCenter);
  EXPECT_EQ(label.Layout, tlCenter);
}

TEST_F(InfoTest, ClosedByOkOrByTheTitleBarEndsWithOk) {
  struct Case {
    const char* how;
    std::function<void(headless::TForm&)> answer;
  };
  const Case cases[] = {
      {"Ok", [](headless::TForm& f) { f.Find<headless::TButton>("B_Ok")->Click(); }},
      {"title bar", [](headless::TForm& f) { f.Close(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    std::string seen_text, seen_caption;
    bool focused = false;
    dialog.ModalAnswer = [&](headless::TForm& f) {
      seen_text = info.L_Info->Caption();
      seen_caption = f.Caption();
      focused = f.Find<headless::TButton>("B_Ok")->Focused();
      c.answer(f);
    };
    EXPECT_EQ(Show("Bad data received!", "Error", "SystemHand"), mrOk);
    EXPECT_EQ(seen_text, "Bad data received!");
    EXPECT_EQ(seen_caption, "Error");
    EXPECT_TRUE(focused);
    EXPECT_FALSE(info.Form->Visible());
  }
  EXPECT_EQ(played, (std::vector<std::string>{"SystemHand", "SystemHand"}));
  EXPECT_EQ(app.Beeps(), 0);
}

TEST_F(InfoTest, ReturnAndEscapeEndItWithOk) {
  for (const headless::TKey key : {headless::TKey::Return, headless::TKey::Escape}) {
    bool pressed = false;
    dialog.ModalAnswer = [&](headless::TForm& f) { pressed = f.Press(key); };
    EXPECT_EQ(Show("Bad data received!", "Error", "SystemHand"), mrOk);
    EXPECT_TRUE(pressed);
    EXPECT_FALSE(info.Form->Visible());
  }
}

TEST_F(InfoTest, GrowsToShowALongMessageAndGoesBackForAShortOne) {
  const std::string path =
      "The workbook was saved as /home/lab/Documents/Quarrow-exports/2026/December/"
      "Quarrow_2026-12-09_18-59-21.xlsx.";
  TBounds ok{}, label{};
  dialog.ModalAnswer = [&](headless::TForm& f) {
    ok = info.B_Ok->Bounds();
    label = info.L_Info->Bounds();
    f.Close();
  };
  Show(path, "Information", "SystemDefault");
  EXPECT_GT(info.Form->ClientWidth(), 346);
  EXPECT_GT(info.Form->ClientHeight(), 109);
  EXPECT_EQ(label.Width, info.Form->ClientWidth());
  EXPECT_EQ(ok.Top, label.Height + 13);
  EXPECT_EQ(ok.Top + ok.Height + 13, info.Form->ClientHeight());
  EXPECT_NE(info.L_Info->Caption().find("\r\n"), std::string::npos);  // wrapped, not cut

  Show("Archive is empty!", "Information", "SystemDefault");
  EXPECT_EQ(info.Form->ClientWidth(), 346);
  EXPECT_EQ(info.Form->ClientHeight(), 109);
  EXPECT_EQ(std::tie(ok.Left, ok.Top, ok.Width, ok.Height), std::make_tuple(133, 66, 85, 30));
  EXPECT_EQ(label.Height, 53);
  EXPECT_EQ(info.L_Info->Caption(), "Archive is empty!");
}

TEST_F(InfoTest, ASoundThatCannotPlayBeepsAndNeverStopsTheDialog) {
  sound_works = false;
  EXPECT_EQ(Show("No data", "Information", "SystemDefault"), mrOk);
  EXPECT_EQ(app.Beeps(), 1);
  EXPECT_EQ(Show("No data", "Information", "broken"), mrOk);
  EXPECT_EQ(app.Beeps(), 2);
  EXPECT_TRUE(app.Errors().empty());
}

}  // namespace
