#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <thread>

#include "infodialog/info.h"
#include "ui/qt/qt_binding.h"

namespace {

qtui::TApp& App() {
  static int argc = 1;
  static char name[] = "ui_qt_test";
  static char* argv[] = {name, nullptr};
  static qtui::TApp* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return new qtui::TApp(argc, argv);
  }();
  return *app;
}

QRect Scaled(const TBounds& b) {
  auto& app = App();
  return {app.Scaled(b.Left), app.Scaled(b.Top), app.Scaled(b.Width), app.Scaled(b.Height)};
}

TEST(QtBinding, ElementsStandAtTheirPlacesWithTheirTexts) {
  qtui::TFactory factory(App());
  auto form = factory.CreateForm(
      {.Name = "Form_Main", .Caption = "Quarrow VORNEX", .ClientWidth = 616, .ClientHeight = 194},
      nullptr);
  auto* panel = factory.CreatePanel(
      *form, nullptr, {.Name = "P_General", .Bounds = {0, 0, 616, 114}, .Align = alTop});
  factory.CreateLabel(*form, panel,
                      {.Name = "L_State",
                       .Bounds = {8, 8, 600, 45},
                       .Caption = "3 records received.\r\nPlease select unit and save file.",
                       .Alignment = taCenter,
                       .Layout = tlCenter});
  factory.CreateButton(*form, panel,
                       {.Name = "B_Text", .Bounds = {346, 59, 180, 45}, .Caption = "Save as text"});
  auto* combo = factory.CreateComboBox(*form, nullptr,
                                       {.Name = "CB_Unit",
                                        .Bounds = {57, 160, 125, 26},
                                        .Items = {"MPa", "kg/cm²", "N/mm²", "PSI"},
                                        .ItemIndex = 0,
                                        .ItemHeight = 20});
  auto* hidden = factory.CreateButton(
      *form, nullptr, {.Name = "B_Next", .Bounds = {312, 156, 182, 30}, .Visible = false});
  form->Show();
  App().ProcessMessages();

  QWidget* w = qtui::TFactory::Widget(*form);
  EXPECT_EQ(w->windowTitle(), "Quarrow VORNEX");
  EXPECT_EQ(w->size(), QSize(App().Scaled(616), App().Scaled(194)));
  EXPECT_EQ(w->minimumSize(), w->maximumSize());  // not resizable
  EXPECT_EQ(w->font().pixelSize(), App().Scaled(16));
  EXPECT_EQ(w->font().family().toStdString(), App().FontFamily());

  auto* p = w->findChild<QWidget*>("P_General");
  auto* label = w->findChild<QLabel*>("L_State");
  auto* button = w->findChild<QPushButton*>("B_Text");
  auto* cb = w->findChild<QComboBox*>("CB_Unit");
  ASSERT_TRUE(p && label && button && cb);
  EXPECT_EQ(label->parentWidget(), p);
  EXPECT_EQ(label->geometry(), Scaled({8, 8, 600, 45}));
  EXPECT_EQ(label->text(), "3 records received.\nPlease select unit and save file.");
  EXPECT_EQ(label->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
  EXPECT_EQ(button->geometry(), Scaled({346, 59, 180, 45}));
  EXPECT_EQ(button->text(), "Save as text");
  EXPECT_EQ(cb->geometry(), Scaled({57, 160, 125, 26}));
  EXPECT_EQ(combo->Text(), "MPa");
  EXPECT_EQ(cb->itemText(1), "kg/cm²");
  QStyleOptionViewItem option;
  EXPECT_EQ(cb->itemDelegate()->sizeHint(option, cb->model()->index(0, 0)).height(),
            App().Scaled(20));
  EXPECT_FALSE(hidden->Visible());
  EXPECT_FALSE(w->findChild<QWidget*>("B_Next")->isVisible());
  form->Close();
}

TEST(QtBinding, InformationDialogEndsWithOkByButtonOrTitleBar) {
  qtui::TFactory factory(App());
  auto main =
      factory.CreateForm({.Name = "Form_Main", .ClientWidth = 616, .ClientHeight = 194}, nullptr);
  std::vector<std::string> sounds;
  TForm_Info info(factory, main.get(), [&](const std::string& alias) {
    sounds.push_back(alias);
    return true;
  });
  QWidget* dialog = qtui::TFactory::Widget(*info.Form);
  EXPECT_EQ(dialog->size(), QSize(App().Scaled(346), App().Scaled(109)));
  for (const bool by_button : {true, false}) {
    info.info_text = "Bad data!";
    info.info_caption = "Error";
    info.info_sound = "SystemHand";
    QString seen_caption, seen_text;
    bool focused = false;
    QTimer::singleShot(0, [&] {
      seen_caption = dialog->windowTitle();
      seen_text = dialog->findChild<QLabel*>("L_Info")->text();
      auto* ok = dialog->findChild<QPushButton*>("B_Ok");
      focused = dialog->focusWidget() == ok;
      by_button ? ok->click() : static_cast<void>(dialog->close());
    });
    EXPECT_EQ(info.Form->ShowModal(), mrOk) << by_button;
    EXPECT_EQ(seen_caption, "Error");
    EXPECT_EQ(seen_text, "Bad data!");
    EXPECT_TRUE(focused);
    EXPECT_FALSE(dialog->isVisible());
  }
  EXPECT_EQ(sounds.size(), 2u);
}

TEST(QtBinding, TimerAndSynchronizeRunOnTheLoopAndTerminateEndsIt) {
  if (App().Terminated()) GTEST_SKIP() << "the application ends only once per process";
  qtui::TFactory factory(App());
  auto form = factory.CreateForm({.Name = "F"}, nullptr);
  TTimer* timer = factory.CreateTimer(*form, {.Name = "T", .Enabled = true, .Interval = 20});
  int ticks = 0;
  bool on_main = false, synced = false;
  std::thread worker;
  timer->OnTimer = [&](TObject*) {
    if (++ticks == 2)
      worker = std::thread([&] {
        synced = App().Synchronize([&] {
          on_main = App().IsMainThread();
          App().Terminate();
        });
      });
  };
  App().Run();
  worker.join();
  EXPECT_EQ(ticks, 2);
  EXPECT_TRUE(synced);
  EXPECT_TRUE(on_main);
  bool late = true;
  std::thread([&] { late = App().Synchronize([] {}); }).join();
  EXPECT_FALSE(late);
}

TEST(QtBinding, ErrorReportIsACriticalBoxTitledWithTheApplicationTitle) {
  App().SetTitle("Quarrow VORNEX");
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool plain = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    plain = box->textFormat() == Qt::PlainText;  // a message is never taken for markup
    box->accept();
  });
  App().Guard([] { throw std::runtime_error("<b>Disk</b> is full"); });
  EXPECT_EQ(title, "Quarrow VORNEX");
  EXPECT_EQ(text, "<b>Disk</b> is full.");
  EXPECT_EQ(icon, QMessageBox::Critical);
  EXPECT_TRUE(plain);
}

TEST(QtBinding, FilterStringBecomesNameFilters) {
  EXPECT_EQ(qtui::QtNameFilters("Text files (*.txt)|*.txt|All Files (*.*)|*.*"),
            "Text files (*.txt)\nAll Files (*.*)\n");
  EXPECT_EQ(qtui::QtNameFilters("Sheets|*.xlsx;*.xls"), "Sheets (*.xlsx *.xls)\n");
}

}  // namespace
