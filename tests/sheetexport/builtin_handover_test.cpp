// Handing a built-in workbook to the desktop: the dated names, and a documents folder that
// refuses the file.
#include "sheetexport/builtin_handover.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "fake_desktop.h"

namespace fs = std::filesystem;

namespace {

TEST(HandOverFileName, SaysWhatAndWhenAndNeverRepeatsAName) {
  const TDateTime morning = EncodeDateTime(2026, 1, 2, 3, 4, 59, 999);
  const TDateTime evening = EncodeDateTime(2026, 12, 9, 23, 59, 0, 0);
  struct Case {
    std::string sheet;
    TDateTime time;
    int attempt;
    std::string name;
  } cases[] = {
      {"Quarrow VORNEX", evening, 1, "Quarrow VORNEX 2026-12-09 23-59.xlsx"},
      {"Quarrow VORNEX", morning, 1, "Quarrow VORNEX 2026-01-02 03-04.xlsx"},
      {"Quarrow VORNEX", evening, 2, "Quarrow VORNEX 2026-12-09 23-59 (2).xlsx"},
      {"", evening, 1, "Book 2026-12-09 23-59.xlsx"},
      {"a/b\\c:d*e?f\"g<h>i|j\tk", evening, 1, "a_b_c_d_e_f_g_h_i_j_k 2026-12-09 23-59.xlsx"},
      {"Прочность", evening, 1, "Прочность 2026-12-09 23-59.xlsx"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(builtin::HandOverFileName(c.sheet, c.time, c.attempt), c.name) << c.sheet;
}

TEST(HandOver, WithoutADocumentsFolderTheTempFolderIsUsedAndNamedEveryTime) {
  class NoDocuments : public FakeDesktop {
   public:
    using FakeDesktop::FakeDesktop;
    std::string DocumentsFolder() override { return ""; }
  } desktop("");
  std::vector<std::string> told;
  const builtin::THandOver to{std::shared_ptr<TDesktop>(&desktop, [](TDesktop*) {}),
                              [&](const std::string& text) { told.push_back(text); },
                              [] { return EncodeDateTime(2026, 12, 9, 14, 5, 0, 0); }};
  builtin::TBook book;
  for (const bool opens : {true, false}) {
    SCOPED_TRACE(opens);
    desktop.Opens = opens;
    told.clear();
    ASSERT_TRUE(builtin::HandOver(book, to));
    const fs::path file = desktop.Opened.back();
    // Compared as names: Wine's file system cannot tell whether two folders are one.
    EXPECT_EQ(file.parent_path().lexically_normal(),
              (fs::temp_directory_path() / "").parent_path().lexically_normal());
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told[0],
              "The documents folder could not be made, so the workbook was saved in the "
              "temporary folder as " +
                  file.string() + ". Please move it to a safe place.");
    EXPECT_EQ(told.size(), opens ? 1u : 2u);  // and that nothing opened it
    fs::remove(file);
  }
}

TEST(HandOver, AFolderThatRefusesTheFileIsReportedAndLeavesNothingOpened) {
  const fs::path root =
      fs::temp_directory_path() / ("q2e_handover_" + std::to_string(std::random_device{}()));
  fs::create_directories(root);
  std::ofstream(root / "Documents") << "a file where the folder should be";
  // A documents folder that is a plain file.
  class FileAsFolder : public FakeDesktop {
   public:
    using FakeDesktop::FakeDesktop;
    std::string DocumentsFolder() override { return Folder; }
    std::string Folder;
  } fileAsFolder(root);
  fileAsFolder.Folder = (root / "Documents").string();
  std::vector<std::string> told;
  builtin::TBook book;
  const builtin::THandOver to{std::shared_ptr<TDesktop>(&fileAsFolder, [](TDesktop*) {}),
                              [&](const std::string& text) { told.push_back(text); },
                              [] { return EncodeDateTime(2026, 12, 9, 14, 5, 0, 0); }};
  EXPECT_FALSE(builtin::HandOver(book, to));
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].rfind("The workbook could not be saved: ", 0), 0u) << told[0];
  EXPECT_TRUE(fileAsFolder.Opened.empty());

  // Without a desktop nothing is written at all.
  EXPECT_FALSE(builtin::HandOver(book, {nullptr, to.TellUser, to.Now}));
  EXPECT_EQ(told.size(), 1u);
  fs::remove_all(root);
}

}  // namespace
