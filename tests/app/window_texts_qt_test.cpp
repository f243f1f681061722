// The window in every language the program carries, on Qt (offscreen) with the form's own font:
// each text fits the element that shows it at its design size.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QWidget>
#include <cstdlib>
#include <filesystem>

#include "mainwindow/main_form.h"
#include "mainwindow/presentation.h"
#include "readingsdialog/readings_dialog.h"
#include "serial/device_db_sysfs.h"
#include "text/string_table.h"
#include "ui/qt/qt_binding.h"

namespace fs = std::filesystem;

namespace {

qtui::TApp& App() {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "window_texts_qt_test";
  static char* argv[] = {name, nullptr};
  static qtui::TApp app(argc, argv);
  return app;
}

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// Lines of a label, as the window joins them.
std::string Lines(const std::string& first, const std::string& second) {
  return first + "\n" + second;
}

class WindowTexts : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    UseLanguage(GetParam());
    root_ = fs::temp_directory_path() / ("q2e_texts_" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "sys");
    TMainServices services;
    services.Registry = [&] { return CreateFileRegistry(root_ / "config"); };
    services.Devices =
        std::make_shared<TsrSysfsDeviceDatabase>(root_ / "sys", root_ / "dev", root_ / "ports");
    services.SpecialPath = [&](int) { return (root_ / "Documents").string(); };
    services.Sound = [](const std::string&) { return true; };
    services.ReadingsFile = (root_ / "readings.sqlite3").string();
    form_ = std::make_unique<TForm_Main>(factory_, services);
    form_->Form->Show();
    App().ProcessMessages();
    window_ = qtui::TFactory::Widget(*form_->Form);
  }
  void TearDown() override {
    form_.reset();
    fs::remove_all(root_);
    UseLanguage("en");
  }

  template <class W>
  W* Element(const char* name) {
    auto* w = window_->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  // Every text a word-wrapping label shows fits its height.
  void ExpectWrappedFit(const char* name, const std::vector<std::string>& texts) {
    QLabel* label = Element<QLabel>(name);
    ASSERT_NE(label, nullptr);
    const QFontMetrics metrics(label->font());
    for (const std::string& text : texts) {
      const QRect needed = metrics.boundingRect(QRect(0, 0, label->width(), 10000),
                                                Qt::AlignCenter | Qt::TextWordWrap, Q(text));
      EXPECT_LE(needed.height(), label->height()) << name << ": " << text;
      EXPECT_LE(needed.width(), label->width()) << name << ": " << text;
    }
  }

  qtui::TFactory factory_{App()};
  fs::path root_;
  std::unique_ptr<TForm_Main> form_;
  QWidget* window_ = nullptr;
};

TEST_P(WindowTexts, EveryTextFitsItsElement) {
  for (const char* name : {"B_Excel", "B_Text", "B_Earlier", "B_Next", "B_Exit"}) {
    QPushButton* b = Element<QPushButton>(name);
    ASSERT_NE(b, nullptr);
    EXPECT_LE(b->sizeHint().width(), b->width()) << name << ": " << b->text().toStdString();
  }
  QCheckBox* singles = Element<QCheckBox>("ChB_Singles");
  ASSERT_NE(singles, nullptr);
  EXPECT_LE(singles->sizeHint().width(), singles->width()) << singles->text().toStdString();
  EXPECT_LT(singles->geometry().right(), Element<QPushButton>("B_Earlier")->geometry().left());

  // The unit's label never runs under the list beside it, nor the list into the buttons.
  QLabel* unit = Element<QLabel>("L_Unit");
  QComboBox* units = Element<QComboBox>("CB_Unit");
  ASSERT_TRUE(unit && units);
  EXPECT_GE(unit->width(), QFontMetrics(unit->font()).horizontalAdvance(unit->text()));
  EXPECT_LT(unit->geometry().right(), units->geometry().left()) << unit->text().toStdString();
  EXPECT_LT(units->geometry().right(), Element<QPushButton>("B_Next")->geometry().left());
  for (int i = 0; i < units->count(); ++i)
    EXPECT_LE(QFontMetrics(units->font()).horizontalAdvance(units->itemText(i)),
              units->width() - 30)
        << units->itemText(i).toStdString();

  const std::string most = "65535";
  std::vector<std::string> states = {
      Str(TS::WaitingForDevice), Str(TS::DeviceFound),
      Str(TS::Receiving) + " (" + most + "/" + most + ")",
      Lines(Str(TS::EarlierReadingOf,
                {DateTimeText(EncodeDateTime(2026, 12, 28, 23, 59, 59, 0), form_->Format()), most}),
            Str(TS::SelectUnitAndSave)),
      Str(TS::ExportInProgress)};
  std::vector<std::string> notices = {
      Lines(Str(TS::NoPermission, {"/dev/ttyUSB0"}), Str(TS::AddToDialout)),
      Lines(Str(TS::PortInUse, {"/dev/ttyUSB0"}), Str(TS::LeftAloneWhileInUse)),
      Str(TS::LastReadingKept, {Str(TS::EarlierReadings)})};
  for (const unsigned n : {65531u, 65532u, 65535u}) {  // every form of the counted texts
    states.push_back(Lines(StrN(TS::RecordsReceived, n), Str(TS::SelectUnitAndSave)));
    notices.push_back(
        Lines(StrN(TS::ReadingStopped, n, {"65530", std::to_string(n)}), Str(TS::ConnectAgain)));
  }
  ExpectWrappedFit("L_State", states);
  ExpectWrappedFit("L_Notice", notices);
}

// The dialog of earlier readings and its question: buttons and column titles (the question
// grows to its text as the information dialog does).
TEST_P(WindowTexts, EveryTextOfTheEarlierReadingsFits) {
  TForm_Readings dialog(factory_, form_->Form.get(), form_->Readings(),
                        [](TDateTime) { return std::string(); });
  QWidget* list = qtui::TFactory::Widget(*dialog.Form);
  QWidget* question = qtui::TFactory::Widget(*dialog.Question.Form);
  for (auto [window, name] : {std::pair{list, "B_Open"},
                              {list, "B_Delete"},
                              {list, "B_Close"},
                              {question, "B_Yes"},
                              {question, "B_No"}}) {
    auto* b = window->findChild<QPushButton*>(name);
    ASSERT_NE(b, nullptr) << name;
    EXPECT_LE(b->sizeHint().width(), b->width()) << name << ": " << b->text().toStdString();
  }
  auto* view = list->findChild<QTreeView*>("LV_Readings");
  ASSERT_NE(view, nullptr);
  for (int c = 0; c < view->model()->columnCount(); ++c)
    EXPECT_LE(view->header()->sectionSizeHint(c), view->columnWidth(c))
        << view->model()->headerData(c, Qt::Horizontal).toString().toStdString();
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, WindowTexts, ::testing::ValuesIn([] {
                           std::vector<std::string> all = {"en"};
                           for (const auto& l : TStringTable::Languages()) all.push_back(l);
                           return all;
                         }()),
                         [](const auto& info) { return info.param; });

}  // namespace
