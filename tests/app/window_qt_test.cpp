// The real window on Qt (offscreen): its elements at their places in Wait, the focus after a
// reading, and closing it by the title bar, which asks before an unsaved archive is left and
// ends the program's loop after storing the report folder.
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
#include <regex>
#include <vector>

#include "../core/test_record.h"
#include "../e2e/test_locales.h"
#include "../sheetexport/xlsx_reader.h"
#include "mainwindow/main_form.h"
#include "platform/language/locale_settings.h"
#include "serial/device_db_sysfs.h"
#include "sheetexport/sheet_app_builtin.h"
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

  // After a reading the focus is on the first export there is ("Export to Excel" is disabled).
  form->Archive.Resize(1);
  const auto record = TestRecord(1, 2);
  form->Archive.StoreRecord(record.data(), record.size());
  form->SessionPhase = phComplete;
  form->SetStateDataReady();
  app.ProcessMessages();
  EXPECT_EQ(w->focusWidget(), w->findChild<QWidget*>("B_Text"));

  // The first close is answered "No" and keeps the window; the second "Yes".
  QWidget* question = qtui::TFactory::Widget(*form->Form_Question->Form);
  std::vector<bool> asked;
  bool keptOpen = false;
  const auto answer = [&](const char* button) {
    asked.push_back(question->isVisible());
    question->findChild<QPushButton*>(button)->click();
  };
  form->DefPath = (root / "reports").string();
  QTimer::singleShot(50, [w] { w->close(); });
  QTimer::singleShot(150, [&] { answer("B_No"); });
  QTimer::singleShot(250, [&] {
    keptOpen = w->isVisible();
    w->close();
  });
  QTimer::singleShot(350, [&] { answer("B_Yes"); });
  app.Run();
  EXPECT_EQ(asked, (std::vector<bool>{true, true}));
  EXPECT_TRUE(keptOpen);
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

// On a German or Russian desktop QApplication adopts the user's locale for the C library; the
// window still shows the user's decimal comma, and the workbook it writes holds numbers, widths
// and margins with a point, as the file format wants them.
TEST(Window, WritesNumbersWithAPointOnTheUsersDesktop) {
  const fs::path root = fs::temp_directory_path() / ("q2e_window_loc_" + std::to_string(getpid()));
  const std::string made = MakeLocales(root / "locales");
  ASSERT_EQ(made, "");
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("LOCPATH", (root / "locales").c_str(), 1);
  for (const std::string& locale : kUserLocales) {
    SCOPED_TRACE(locale);
    setenv("LC_ALL", locale.c_str(), 1);
    static int argc = 1;
    static char name[] = "window_qt_test";
    static char* argv[] = {name, nullptr};
    qtui::TApp app(argc, argv);
    const FormatSettings format = LoadSystemFormatSettings();
    EXPECT_EQ(format.DecimalSeparator, ',');
    EXPECT_EQ(format.ThousandSeparator, locale[0] == 'r' ? ' ' : '.');

    const auto excel = CreateBuiltinSheetSystem({.Settings = format})->StartNewInstance();
    auto sheet = excel->Workbooks()->Add(-4167)->Worksheets()->Item(1);
    sheet->PageSetup()->SetCenterHeader("Quarrow VORNEX");
    sheet->Range("B3", "B3")->SetValue2(TVariant(33.9));
    sheet->Range("B3", "B3")->SetNumberFormat("0.0");
    sheet->Range("B3", "B3")->SetColumnWidth(12.5);
    const fs::path file = root / "book.xlsx";
    sheet->SaveAs(file.string());
    const XlsxFile read(file.string());
    ASSERT_TRUE(read.Ok());
    const XlsxSheet s = read.Sheet(1);
    EXPECT_EQ(s.Text("B3"), "33.9");
    EXPECT_FALSE(std::regex_search(s.Xml, std::regex("=\"-?[0-9]+,[0-9]+\"")))
        << "a decimal comma in an attribute: " << s.Xml;
  }
  unsetenv("LC_ALL");
  unsetenv("LOCPATH");
  fs::remove_all(root);
}

}  // namespace
