// The real window on Qt (offscreen): its elements at their places in Wait, and closing it by
// the title bar ends the program's loop after storing the report folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <filesystem>

#include "mainwindow/main_form.h"
#include "serial/device_db_sysfs.h"
#include "ui/qt/qt_binding.h"

namespace fs = std::filesystem;

namespace {

TEST(Window, WaitStateOnScreenAndTitleBarClose) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "window_qt_test";
  static char* argv[] = {name, nullptr};
  qtui::TApp app(argc, argv);
  app.SetTitle("Quarrow VORNEX");
  qtui::TFactory factory(app);

  const fs::path root = fs::temp_directory_path() / ("q2e_window_" + std::to_string(getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "sys");
  TMainServices services;
  services.Registry = [&] { return CreateFileRegistry(root / "config"); };
  services.Devices =
      std::make_shared<TsrSysfsDeviceDatabase>(root / "sys", root / "dev", root / "ports");
  services.SpecialPath = [&](int) { return (root / "Documents").string(); };
  services.Sound = [](const std::string&) { return true; };
  auto form = std::make_unique<TForm_Main>(factory, services);
  form->Form->Show();
  app.ProcessMessages();

  QWidget* w = qtui::TFactory::Widget(*form->Form);
  EXPECT_EQ(w->windowTitle(), "Quarrow VORNEX");
  EXPECT_EQ(w->size(), QSize(app.Scaled(616), app.Scaled(194)));
  EXPECT_EQ(w->minimumSize(), w->maximumSize());
  const auto at = [&](int l, int t, int wd, int h) {
    return QRect(app.Scaled(l), app.Scaled(t), app.Scaled(wd), app.Scaled(h));
  };
  struct Place {
    const char* name;
    QRect rect;
    QString text;
    bool visible;
  } places[] = {
      {"L_State", at(8, 8, 600, 45), "Waiting for device connected...", true},
      {"B_Excel", at(88, 59, 180, 45), "Export to Excel", false},
      {"B_Text", at(346, 59, 180, 45), "Save as text", false},
      {"PB_Data", at(8, 63, 600, 32), "", false},
      {"ChB_Singles", at(8, 120, 292, 31), "Include single values", false},
      {"L_Unit", at(8, 163, 29, 19), "Unit", false},
      {"CB_Unit", at(57, 160, 125, 26), "MPa", false},
      {"B_Earlier", at(304, 120, 190, 30), "Earlier readings…", true},
      {"B_Next", at(312, 156, 182, 30), "Read next", false},
      {"B_Exit", at(508, 156, 100, 30), "Exit", true},
  };
  for (const Place& p : places) {
    SCOPED_TRACE(p.name);
    auto* e = w->findChild<QWidget*>(p.name);
    ASSERT_NE(e, nullptr);
    if (std::string(p.name) == "L_Unit") {  // widens where the font is wider than Tahoma
      EXPECT_EQ(e->pos(), p.rect.topLeft());
      EXPECT_GE(e->width(), p.rect.width());
      EXPECT_LE(e->geometry().right(), at(57, 160, 125, 26).left());
    } else {
      EXPECT_EQ(e->geometry(), p.rect);
    }
    EXPECT_EQ(e->isVisible(), p.visible);
    QString text;
    if (auto* l = qobject_cast<QLabel*>(e)) text = l->text();
    if (auto* b = qobject_cast<QPushButton*>(e)) text = b->text();
    if (auto* c = qobject_cast<QCheckBox*>(e)) text = c->text();
    if (auto* c = qobject_cast<QComboBox*>(e)) text = c->currentText();
    if (!p.text.isEmpty()) {
      EXPECT_EQ(text, p.text);
    }
  }
  EXPECT_EQ(w->findChild<QWidget*>("L_State")->parentWidget()->objectName(), "P_General");

  form->DefPath = (root / "reports").string();
  QTimer::singleShot(50, [w] { w->close(); });
  app.Run();
  EXPECT_TRUE(app.Terminated());
  EXPECT_FALSE(form->srComm1->Active());
  EXPECT_FALSE(form->Timer_CheckWork->Enabled());
  form.reset();
  auto reg = CreateFileRegistry(root / "config");
  reg->SetRootKey(TRootKey::CurrentUser);
  ASSERT_TRUE(reg->OpenKey(TForm_Main::SettingsKey, false));
  EXPECT_EQ(reg->ReadString("DefPath"), (root / "reports").string());
  fs::remove_all(root);
}

}  // namespace
