// Line breaking and the information dialog's growth, measured one unit a character.
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/utf16.h"
#include "infodialog/info_layout.h"
#include "ui/text_wrap.h"

namespace {

int Chars(const std::string& line) {
  return static_cast<int>(Utf16Length(line));
}

int Pixels(const std::string& line) {
  return 8 * Chars(line);
}

// The text without the spaces and line ends a layout may put or drop at its breaks.
std::string Letters(const std::string& text) {
  std::string out;
  for (const char c : text)
    if (c != ' ' && c != '\r' && c != '\n') out += c;
  return out;
}

TEST(WrapText, BreaksAtSpacesThenSeparatorsThenAnywhere) {
  struct Case {
    const char* text;
    int limit;
    std::vector<std::string> lines;
  } cases[] = {
      {"Archive is empty!", 40, {"Archive is empty!"}},
      {"one two three", 7, {"one two", "three"}},
      {"one  two", 3, {"one", "two"}},
      {"/home/user/Documents/report.xlsx", 12, {"/home/user/", "Documents/", "report.xlsx"}},
      {"Saved to /srv/lab/out/x.xlsx here", 14, {"Saved to", "/srv/lab/out/", "x.xlsx here"}},
      {"C:\\Users\\lab\\Documents\\a.xlsx", 16, {"C:\\Users\\lab\\", "Documents\\a.xlsx"}},
      {"abcdefghij", 4, {"abcd", "efgh", "ij"}},
      {"/a/verylongfoldername/b", 8, {"/a/", "verylong", "folderna", "me/b"}},
      {"3 records received.\r\nPlease select unit.",
       40,
       {"3 records received.", "Please select unit."}},
      {"a\n\nb", 5, {"a", "", "b"}},
      {"", 5, {""}},
      {"ääää öö", 2, {"ää", "ää", "öö"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(WrapText(c.text, c.limit, Chars), c.lines);
  }
}

TEST(InfoLayout, KeepsTheDesignForAShortMessageAndGrowsForALongOne) {
  const TSize screen{1016, 706};
  const TInfoLayout short_one = LayoutInfo("Bad data received!", Pixels, 19, screen);
  EXPECT_EQ(short_one.ClientWidth, 346);
  EXPECT_EQ(short_one.ClientHeight, 109);
  EXPECT_EQ(std::tie(short_one.Label.Left, short_one.Label.Top, short_one.Label.Width,
                     short_one.Label.Height),
            std::make_tuple(0, 0, 346, 53));
  EXPECT_EQ(std::tie(short_one.Button.Left, short_one.Button.Top, short_one.Button.Width,
                     short_one.Button.Height),
            std::make_tuple(133, 66, 85, 30));
  EXPECT_EQ(short_one.Text, "Bad data received!");
  EXPECT_EQ(LayoutInfo("Two\r\nlines", Pixels, 19, screen).Text, "Two\r\nlines");

  struct Case {
    const char* what;
    std::string text;
    TSize screen;
  } cases[] = {
      {"a handed-over workbook's path",
       "The workbook was saved as /home/laboratory-user/Documents/Quarrow-exports/2026/"
       "December/Quarrow_2026-12-09_18-59-21.xlsx. Open it from there.",
       screen},
      {"one word longer than any line", std::string(300, 'x'), screen},
      {"more text than the screen holds", std::string(4000, 'y'), TSize{800, 300}},
      {"a small screen", "Some words that would make a dialog wider than this small screen allows",
       TSize{400, 300}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TInfoLayout l = LayoutInfo(c.text, Pixels, 19, c.screen);
    EXPECT_GT(l.ClientHeight, 109);
    EXPECT_GE(l.ClientWidth, 346);
    EXPECT_LE(l.ClientWidth, std::max(346, c.screen.Width));
    EXPECT_LE(l.ClientHeight, std::max(109, c.screen.Height));
    EXPECT_EQ(Letters(l.Text), Letters(c.text));
    // Every line fits inside the label with room to spare at both sides.
    for (const auto& line : WrapText(l.Text, 1 << 20, Pixels))
      EXPECT_LE(Pixels(line), l.Label.Width - 24) << line;
    EXPECT_EQ(l.Label.Width, l.ClientWidth);
    EXPECT_GE(l.Label.Height, 53);
    // "Ok" sits centred under the text, 13 pixels above the bottom edge.
    EXPECT_EQ(l.Button.Top, l.Label.Height + 13);
    EXPECT_EQ(l.Button.Top + l.Button.Height + 13, l.ClientHeight);
    EXPECT_LE(std::abs(2 * l.Button.Left + l.Button.Width - l.ClientWidth), 8);
  }
  // Enough room: the whole text shows in lines no wider than a comfortable dialog, the path
  // broken after a separator.
  const TInfoLayout path = LayoutInfo(cases[0].text, Pixels, 19, screen);
  EXPECT_LE(path.ClientWidth, 560 + 24);
  EXPECT_GE(path.Label.Height, 3 * 19 + 16);
  EXPECT_NE(path.Text.find("/\r\n"), std::string::npos) << path.Text;
}

}  // namespace
