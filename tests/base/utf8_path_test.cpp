#include "base/utf8_path.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/files/atomic_file.h"

namespace fs = std::filesystem;

TEST(Utf8Path, NamesTheCharactersOfTheTextAndGivesThemBack) {
  struct Case {
    const char* utf8;
    const char16_t* utf16;
  } cases[] = {
      {"report.txt", u"report.txt"},
      {"w\xC3\xA4nd.txt", u"w\u00E4nd.txt"},
      {"\xD0\x9F\xD1\x80\xD0\xBE\xD1\x82\xD0\xBE\xD0\xBA\xD0\xBE\xD0\xBB\xD1\x8B "
       "\xC3\x84rger",
       u"\u041F\u0440\u043E\u0442\u043E\u043A\u043E\u043B\u044B \u00C4rger"},
      {"\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82 \xE2\x84\x96"
       "1.txt",
       u"\u043E\u0442\u0447\u0451\u0442 \u21161.txt"},
      {"\xF0\x9F\x93\x8A.xlsx", u"\U0001F4CA.xlsx"},  // beyond the basic plane: a surrogate pair
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    const fs::path p = Utf8Path(c.utf8);
    EXPECT_EQ(p.u16string(), c.utf16);
    EXPECT_EQ(PathUtf8(p), c.utf8);
    EXPECT_EQ(PathUtf8(Utf8Path(std::string("dir/") + c.utf8).filename()), c.utf8);
  }
  EXPECT_EQ(PathUtf8(fs::path(u"C\u00E4")), "C\xC3\xA4");
}

TEST(Utf8Path, FilesOfAnyNameAreWrittenWholeAndReadBack) {
  const fs::path root =
      fs::temp_directory_path() /
      ("q2e_utf8_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(root);
  // "Протоколы Ärger/отчёт №1.txt"
  const std::string folder = PathUtf8(root) +
                             "/\xD0\x9F\xD1\x80\xD0\xBE\xD1\x82\xD0\xBE\xD0\xBA\xD0\xBE\xD0\xBB\xD1"
                             "\x8B \xC3\x84rger";
  const std::string file = folder +
                           "/\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82 \xE2\x84\x96"
                           "1.txt";
  fs::create_directories(Utf8Path(folder));
  for (const char* content : {"first\r\n", "second\r\n"}) {
    TAtomicFile f(Utf8Path(file));
    f.Write(content);
    f.Commit();
    std::ifstream in(Utf8Path(file), std::ios::binary);
    const std::string back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(back, content);
  }
  // The folder holds that one file under its own name: no stray temporary, no mangled twin.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(Utf8Path(folder)))
    names.push_back(PathUtf8(e.path().filename()));
  EXPECT_EQ(names, std::vector<std::string>{PathUtf8(Utf8Path(file).filename())});
  fs::remove_all(root);
}
