// Locale, code page and shell of the Windows platform files, on the system's own data.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/exceptions.h"
#include "platform/desktop/shell.h"
#include "platform/language/locale_win32.h"
#include "platform/language/text_codec.h"

namespace {

struct PictureCase {
  const char* picture;
  char sepCode;
  const char* codes;
  char separator;
};

TEST(Win32Locale, PicturesBecomeTheProgramsCodes) {
  const PictureCase cases[] = {
      {"dd.MM.yyyy", '/', "dd/mm/yyyy", '.'},
      {"M/d/yyyy", '/', "m/d/yyyy", '/'},
      {"d-M-yy", '/', "d/m/yy", '-'},
      {"y.M.d", '/', "yy/m/d", '.'},
      {"yyyy'\xE5\xB9\xB4'M'\xE6\x9C\x88'd'\xE6\x97\xA5'", '/',
       "yyyy\"\xE5\xB9\xB4\"m\"\xE6\x9C\x88\"d\"\xE6\x97\xA5\"", '?'},
      // Day and month names and the era have no code: only their surroundings stay.
      {"dddd, MMMM d, yyyy", '/', "\",  \"d\", \"yyyy", '?'},
      {"gg yyyy/MM/dd", '/', " yyyy/mm/dd", '/'},
      {"h:mm:ss tt", ':', "h:nn:ss am/pm", ':'},
      {"HH:mm:ss", ':', "hh:nn:ss", ':'},
      {"tt hh.mm", ':', "am/pm hh:nn", '.'},
      {"H'h'mm", ':', "h\"h\"nn", '?'},
      {"HH:mm' Uhr'", ':', "hh:nn\" Uhr\"", ':'},
      {"hh 'o''clock'", ':', "hh\" o'clock\"", '?'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.picture);
    char separator = '?';
    EXPECT_EQ(TranslateLocalePicture(c.picture, c.sepCode, separator), c.codes);
    EXPECT_EQ(separator, c.separator);
  }
}

TEST(Win32Locale, SystemLocalesGiveTheirSeparators) {
  const FormatSettings us = LoadLocaleFormatSettings("en-US");
  EXPECT_EQ(us.DecimalSeparator, '.');
  EXPECT_EQ(us.ThousandSeparator, ',');
  EXPECT_EQ(us.DateSeparator, '/');
  EXPECT_EQ(us.CurrencyString, "$");
  EXPECT_EQ(us.CurrencyFormat, 0);
  EXPECT_EQ(us.CurrencyDecimals, 2);
  EXPECT_NE(us.LongTimeFormat.find("am/pm"), std::string::npos);

  const FormatSettings de = LoadLocaleFormatSettings("de-DE");
  EXPECT_EQ(de.DecimalSeparator, ',');
  EXPECT_EQ(de.ThousandSeparator, '.');
  EXPECT_EQ(de.DateSeparator, '.');
  EXPECT_EQ(de.CurrencyString, "\xE2\x82\xAC");
  EXPECT_EQ(de.CurrencyFormat, 3);
  EXPECT_EQ(de.LongTimeFormat.find("am/pm"), std::string::npos);
  EXPECT_EQ(de.LongTimeFormat.substr(de.LongTimeFormat.size() - 3), ":ss");

  // An unknown locale answers nothing: the defaults stay.
  const FormatSettings unknown = LoadLocaleFormatSettings("xx-NOWHERE");
  EXPECT_EQ(unknown.ShortDateFormat, FormatSettings{}.ShortDateFormat);
  EXPECT_EQ(unknown.DecimalSeparator, '.');
}

struct CodecCase {
  const char* charset;
  const char* utf8;
  std::string encoded;
};

TEST(Win32Codec, CodePagesAndTheirGaps) {
  const CodecCase cases[] = {
      {"windows-1252", "MPa kg/cm\xC2\xB2 \xE2\x82\xAC", "MPa kg/cm\xB2 \x80"},
      {"cp1251", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB1\xD0\xBE\xD1\x80 \xC2\xB2",
       "\xCF\xF0\xE8\xE1\xEE\xF0 ?"},
      {"ISO-8859-1", "\xC3\xA9\xE2\x82\xAC", "\xE9?"},
      {"US-ASCII", "caf\xC3\xA9", "caf?"},
      // No best fit: an a with ring is not written as a plain a.
      {"windows-1251", "\xC3\xA5", "?"},
      {"UTF-8", "\xE2\x82\xAC", "\xE2\x82\xAC"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.charset);
    TAnsiEncoder enc(c.charset);
    std::string out = "<";
    enc.Encode(c.utf8, out);
    EXPECT_EQ(out, "<" + c.encoded);
  }
  EXPECT_TRUE(TAnsiEncoder("utf8").Identity());
  EXPECT_TRUE(TAnsiEncoder("cp1252").PassesUnchanged("plain text\r\n"));
  EXPECT_FALSE(TAnsiEncoder("cp1252").PassesUnchanged("\xC2\xB2"));
  EXPECT_THROW(TAnsiEncoder("no-such-charset"), EOSError);
  EXPECT_THROW(TAnsiEncoder("windows-99999"), EOSError);
  // The system's own code page extends ASCII on every Windows the program runs on.
  TAnsiEncoder system;
  EXPECT_TRUE(system.PassesUnchanged("N | DateTime | R\r\n"));
}

TEST(Win32Shell, DocumentsFolderExists) {
  const std::string docs = GetSpecialPath(CSIDL_PERSONAL);
  ASSERT_FALSE(docs.empty());
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::u8path(docs)));
  EXPECT_EQ(GetSpecialPath(-1), "");
}

}  // namespace
