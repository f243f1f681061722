#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

#include "infodialog/info.h"
#include "platform/serial/serial_api_posix.h"
#include "portdialog/port_settings.h"
#include "text/string_table.h"
#include "ui/qt/qt_binding.h"

namespace {

qtui::TApp& App() {
  static int argc = 1;
  static char name[] = "ui_qt_test";
  static char* argv[] = {name, nullptr};
  static qtui::TApp* app = [] {
    // scripts/screenshots.sh asks for the X server's platform, to photograph a dialog.
    const char* platform = std::getenv("Q2E_QT_TEST_PLATFORM");
    setenv("QT_QPA_PLATFORM", platform ? platform : "offscreen", 1);
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

void Press(QWidget* target, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
}

// Run again at 200 % (QT_SCALE_FACTOR=2, as Qt scales a screen of 192 dpi): the text is
// measured in the same logical pixels the dialog is sized in.
TEST(QtBinding, InformationDialogGrowsToShowALongMessageAndKeysCloseIt) {
  qtui::TFactory factory(App());
  if (const char* scale = std::getenv("QT_SCALE_FACTOR"); scale && std::string(scale) == "2") {
    ASSERT_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
  }
  auto main =
      factory.CreateForm({.Name = "Form_Main", .ClientWidth = 616, .ClientHeight = 194}, nullptr);
  TForm_Info info(factory, main.get(), [](const std::string&) { return true; });
  QWidget* dialog = qtui::TFactory::Widget(*info.Form);
  const std::string message =
      "The workbook was saved as /home/laboratory-user/Documents/Quarrow-exports/2026/December/"
      "Quarrow_2026-12-09_18-59-21.xlsx. Open it from there.";
  struct Case {
    std::string text;
    int key;
    bool grown;
  } cases[] = {{message, Qt::Key_Return, true},
               {"Archive is empty!", Qt::Key_Escape, false},
               {message, Qt::Key_Enter, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    info.info_text = c.text;
    QSize size;
    QRect label_place, ok_place, frame, screen;
    QString shown;
    int widest = 0;
    QTimer::singleShot(0, [&] {
      size = dialog->size();
      frame = dialog->frameGeometry();
      screen = dialog->screen()->availableGeometry();
      auto* label = dialog->findChild<QLabel*>("L_Info");
      label_place = label->geometry();
      ok_place = dialog->findChild<QPushButton*>("B_Ok")->geometry();
      shown = label->text();
      for (const QString& line : shown.split('\n'))
        widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
      Press(dialog->focusWidget(), c.key);
    });
    EXPECT_EQ(info.Form->ShowModal(), mrOk);
    EXPECT_FALSE(dialog->isVisible());
    // The whole text, wrapped, not cut: every line fits in the label, the label above "Ok".
    QString letters = shown;
    EXPECT_EQ(letters.remove('\n').remove(' '), QString::fromStdString(c.text).remove(' '));
    EXPECT_LE(widest, label_place.width());
    EXPECT_LE(label_place.bottom(), ok_place.top());
    EXPECT_LE(ok_place.bottom(), size.height());
    EXPECT_TRUE(screen.contains(frame)) << frame.width() << "x" << frame.height();
    if (c.grown) {
      EXPECT_GT(size.width(), App().Scaled(346));
      EXPECT_GT(size.height(), App().Scaled(109));
      EXPECT_GE(shown.count('\n'), 2);
      EXPECT_NEAR(ok_place.center().x(), size.width() / 2, App().Scaled(4));
    } else {
      EXPECT_EQ(size, QSize(App().Scaled(346), App().Scaled(109)));
      EXPECT_EQ(ok_place,
                QRect(App().Scaled(133), App().Scaled(66), App().Scaled(85), App().Scaled(30)));
    }
  }
}

// Return presses the focused button, else the Default one (from a list too); Escape no form.
TEST(QtBinding, ReturnPressesTheFocusedButtonAndEscapeClosesNoForm) {
  qtui::TFactory factory(App());
  auto form =
      factory.CreateForm({.Name = "Form_Main", .ClientWidth = 300, .ClientHeight = 120}, nullptr);
  auto* panel = factory.CreatePanel(*form, nullptr, {.Name = "P", .Bounds = {0, 0, 300, 60}});
  auto* text = factory.CreateButton(*form, panel, {.Name = "B_Text", .Bounds = {10, 10, 80, 30}});
  auto* exit = factory.CreateButton(
      *form, nullptr, {.Name = "B_Exit", .Bounds = {10, 70, 80, 30}, .Default = true});
  factory.CreateCheckBox(*form, nullptr, {.Name = "ChB", .Bounds = {100, 70, 80, 30}});
  auto* list = factory.CreateListView(
      *form, nullptr, {.Name = "LV", .Bounds = {190, 70, 100, 40}, .Columns = {{"A", 80}}});
  list->SetRows({{"a"}, {"b"}});
  list->SetItemIndex(1);
  std::string clicked;
  text->OnClick = [&](TObject*) { clicked += "text "; };
  exit->OnClick = [&](TObject*) { clicked += "exit "; };
  form->Show();
  App().ProcessMessages();
  QWidget* w = qtui::TFactory::Widget(*form);
  struct Case {
    const char* focus;
    int key;
    const char* clicked;
  } cases[] = {{"B_Text", Qt::Key_Return, "text "}, {"B_Exit", Qt::Key_Enter, "exit "},
               {"ChB", Qt::Key_Return, "exit "},    {"LV", Qt::Key_Return, "exit "},
               {"LV", Qt::Key_Escape, ""},          {"B_Text", Qt::Key_Escape, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.focus);
    clicked.clear();
    QWidget* focus = w->findChild<QWidget*>(c.focus);
    focus->setFocus();
    Press(focus, c.key);
    App().ProcessMessages();
    EXPECT_EQ(clicked, c.clicked);
    EXPECT_TRUE(w->isVisible());
  }
  EXPECT_EQ(list->ItemIndex(), 1);  // the keys changed no choice
  form->Close();
}

TEST(QtBinding, SaveDialogRefusesAMissingFolderWithTheToolkitsMessageAndStays) {
  qtui::TFactory factory(App());
  auto form =
      factory.CreateForm({.Name = "Form_Main", .ClientWidth = 300, .ClientHeight = 120}, nullptr);
  form->Show();
  TSaveDialog* save = factory.CreateSaveDialog(
      *form, {.Name = "SaveAsText",
              .DefaultExt = "txt",
              .Filter = "Text files (*.txt)|*.txt|All Files (*.*)|*.*",
              .Options = ofOverwritePrompt | ofPathMustExist | ofHideReadOnly | ofEnableSizing});
  const std::string missing =
      (std::filesystem::temp_directory_path() / "q2e-no-such-folder" / "report.txt").string();
  save->SetInitialDir(std::filesystem::temp_directory_path().string());
  QString message;
  bool stayed = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(missing));
    QTimer::singleShot(0, [&] {  // inside the message's own loop
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      message = box->text();
      box->accept();
    });
    static_cast<QDialog*>(dialog)->accept();  // the Save button's action
    stayed = dialog->isVisible();
    dialog->reject();
  });
  EXPECT_FALSE(save->Execute());
  EXPECT_TRUE(stayed);
  EXPECT_TRUE(message.contains("Directory not found")) << message.toStdString();
  EXPECT_TRUE(message.contains("q2e-no-such-folder"));
  form->Close();
}

TEST(QtBinding, SaveDialogOpensOnTheTypeGivenAndAnswersTheTypeChosen) {
  qtui::TFactory factory(App());
  auto form =
      factory.CreateForm({.Name = "Form_Main", .ClientWidth = 300, .ClientHeight = 120}, nullptr);
  form->Show();
  TSaveDialog* save = factory.CreateSaveDialog(
      *form, {.Name = "SaveAsText",
              .DefaultExt = "txt",
              .Filter = "Text files (*.txt)|*.txt|PDF protocol (*.pdf)|*.pdf|CSV table "
                        "(*.csv)|*.csv|All Files (*.*)|*.*",
              .Options = ofOverwritePrompt | ofPathMustExist});
  const auto dir = std::filesystem::temp_directory_path();
  save->SetInitialDir(dir.string());
  save->SetFilterIndex(2);
  QString shown;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    shown = dialog->selectedNameFilter();
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    types->setCurrentIndex(2);
    emit types->activated(2);  // as the user's choice, which the combo box tells both ways
    emit types->textActivated(types->itemText(2));
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText("q2e-protocol-type");
    static_cast<QDialog*>(dialog)->accept();
  });
  ASSERT_TRUE(save->Execute());
  EXPECT_EQ(shown.toStdString(), "PDF protocol (*.pdf)");
  EXPECT_EQ(save->FilterIndex(), 3);
  EXPECT_EQ(save->FileName(), (dir / "q2e-protocol-type.csv").string());
  form->Close();
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

// The serial component's ConfigDialog shows the port settings dialog that the window program
// lends the system; Escape leaves the settings, Return takes them. The picture of the dialog
// must show more than a plain surface; Q2E_PORT_DIALOG_SHOT names a file to keep it in.
TEST(QtBinding, PortSettingsDialogShowsForTheSerialComponent) {
  qtui::TFactory factory(App());
  auto main =
      factory.CreateForm({.Name = "Form_Main", .ClientWidth = 616, .ClientHeight = 194}, nullptr);
  App().SetMainForm(main.get());
  main->Show();
  QWidget* window = qtui::TFactory::Widget(*main);
  window->move(20, 30);
  SetCommConfigDialog(PortSettingsDialogOn(factory));
  TsrComm com;
  com.SetDeviceDatabase(nullptr);
  com.SetComPortNo(4);
  com.SetBaudRate(4800);
  for (const auto& [key, accepted] : {std::pair{Qt::Key_Escape, false}, {Qt::Key_Return, true}}) {
    SCOPED_TRACE(accepted);
    QString title, baudShown, flowShown;
    QImage shot;
    QPoint centre;
    QTimer::singleShot(0, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (!dialog) return;
      title = dialog->windowTitle();
      centre = dialog->frameGeometry().center();
      auto* baud = dialog->findChild<QComboBox*>("CB_BaudRate");
      baudShown = baud->currentText();
      flowShown = dialog->findChild<QComboBox*>("CB_Flow")->currentText();
      shot = dialog->grab().toImage();
      baud->setCurrentIndex(baud->findText("57600"));
      Press(dialog, key);
    });
    EXPECT_EQ(com.ConfigDialog(), accepted);
    EXPECT_EQ(title.toStdString(), "Settings of port COM4");
    // Centred on the main window.
    EXPECT_LE((centre - window->frameGeometry().center()).manhattanLength(), App().Scaled(4));
    EXPECT_EQ(baudShown.toStdString(), "4800");
    EXPECT_EQ(flowShown.toStdString(), "Hardware");
    EXPECT_EQ(com.BaudRate(), accepted ? 57600u : 4800u);
    ASSERT_FALSE(shot.isNull());
    std::set<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 2)
      for (int x = 0; x < shot.width(); x += 2) colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 20u);  // text, frames and buttons, not a blank surface
    if (const char* file = std::getenv("Q2E_PORT_DIALOG_SHOT"); file && !accepted) {
      EXPECT_TRUE(shot.save(file));
    }
  }
  SetCommConfigDialog({});
  App().SetMainForm(nullptr);
}

// In the fonts Qt really draws with, every label and choice of the port settings dialog fits in
// every language the program speaks.
TEST(QtBinding, PortSettingsLabelsFitInEveryLanguage) {
  qtui::TFactory factory(App());
  std::vector<std::string> languages = TStringTable::Languages();
  languages.push_back("en");
  for (const std::string& language : languages) {
    SCOPED_TRACE(language);
    UseLanguage(language);
    TForm_PortSettings d(factory, nullptr);
    for (const TLabel* l : {d.L_BaudRate, d.L_ByteSize, d.L_Parity, d.L_StopBits, d.L_Flow})
      EXPECT_LE(l->TextWidth(l->Caption()), l->Bounds().Width) << l->Caption();
    // The choices, in the same font, beside the box's arrow.
    for (const TComboBox* cb : {d.CB_Parity, d.CB_StopBits, d.CB_Flow})
      for (const std::string& item : cb->Items())
        EXPECT_LE(d.L_Parity->TextWidth(item), cb->Bounds().Width - 30) << item;
  }
}

}  // namespace
