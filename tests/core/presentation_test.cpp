#include "mainwindow/presentation.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "base/format_datetime.h"
#include "base/utf16.h"
#include "platform/language/locale_settings.h"

namespace {

FormatSettings Comma() {
  FormatSettings fs;
  fs.DecimalSeparator = ',';
  fs.DateSeparator = '.';
  fs.ShortDateFormat = "dd/mm/yyyy";
  fs.LongTimeFormat = "hh:nn:ss";
  return fs;
}

}  // namespace

TEST(Presentation, StrengthInEveryUnitAtTheCorners) {
  struct Case {
    int raw, unit;
    const char* text;
    double number;
  };
  const Case cases[] = {
      {350, 0, "35,0", 35.0},       {350, 2, "35,0", 35.0},       {350, 1, "357", 357},
      {350, 3, "5076", 5076},       {500, 1, "509", 509},         {1000, 1, "1019", 1019},
      {0, 0, " 0,0", 0.0},          {65535, 0, "6553,5", 6553.5}, {65535, 1, "66780", 66780},
      {65535, 3, "950520", 950520}, {350, 7, "35,0", 35.0},       {350, -1, "35,0", 35.0},
  };
  for (const auto& c : cases) {
    const double mpa = c.raw / 10.0;
    EXPECT_EQ(StrengthText(mpa, c.unit, Comma()), c.text) << c.raw << " unit " << c.unit;
    EXPECT_DOUBLE_EQ(StrengthNumber(mpa, c.unit), c.number) << c.raw << " unit " << c.unit;
  }
  EXPECT_EQ(StrengthDecimals(1), 0);
  EXPECT_EQ(StrengthDecimals(2), 1);
  EXPECT_EQ(StrengthDecimals(9), 1);
  EXPECT_EQ(UnitReportText(1), "kg/cm2");
  EXPECT_EQ(UnitComboText(2), "N/mm\u00B2");
  EXPECT_EQ(UnitReportText(42), "MPa");
}

TEST(Presentation, NumberTextsUseTheGivenSeparatorNotTheCLocale) {
  EXPECT_EQ(VText(12.3, Comma()), "12,3");
  EXPECT_EQ(VText(0.5, Comma()), "0,5");
  EXPECT_EQ(KcText(1.00, Comma()), "1,00");
  EXPECT_EQ(KcText(2.55, Comma()), "2,55");
  EXPECT_EQ(KcText(2.55, FormatSettings{}), "2.55");
}

TEST(Presentation, LabelsShowErrorOutsideTheirRange) {
  EXPECT_EQ(MaterialLabel(7), "ight concrete at pumice");
  EXPECT_EQ(DirArrow(1), "\u2197");
  EXPECT_EQ(AgeLabel(7), "4 years");
  for (const std::string& s :
       {MaterialLabel(14), MaterialLabel(15), ArticleLabel(8), ArticleLabel(15), AgeLabel(8),
        DirWord(5), DirArrow(7), CondLabel(2), OtbrakLabel(3), MaterialLabel(-1)})
    EXPECT_EQ(s, "Error");
}

TEST(Presentation, SpacesAndCentring) {
  EXPECT_EQ(text2center(10, "Age"), "   Age    ");
  EXPECT_EQ(text2center(4, "12345"), "");
  EXPECT_EQ(text2center(0, ""), "");
  EXPECT_EQ(text2center(3, "\u2191"), " \u2191 ");  // one character, three bytes
  EXPECT_EQ(int2space(-3), "");
  EXPECT_EQ(int2space(2), "  ");
  int widths = 0;
  for (int c = 0; c < ColRpr; ++c) widths += Columns[c].Width;
  EXPECT_EQ(widths + 3 * ColRpr, 257);
  EXPECT_EQ(Columns[ColRpr].Type, ftFloat);
}

TEST(Presentation, DateTimeTextsAndCodes) {
  const FormatSettings fs = Comma();
  EXPECT_EQ(DateTimeText(EncodeDateTime(2013, 6, 15, 14, 45, 30, 0), fs), "15.06.2013 14:45:30");
  EXPECT_EQ(DateTimeText(EncodeDateTime(2013, 6, 15, 0, 0, 0, 0), fs), "15.06.2013");
  const TDateTime t = EncodeDateTime(2009, 2, 3, 0, 5, 7, 0);
  EXPECT_EQ(FormatDateTime("d/m/yy h:n:s am/pm", t, fs), "3.2.09 12:5:7 am");
  EXPECT_EQ(FormatDateTime("'Day' dd \"at\" hh", t, fs), "Day 03 at 00");
  EXPECT_EQ(FormatDateTime("hh:nn AM/PM", EncodeDateTime(2009, 2, 3, 13, 0, 0, 0), fs), "01:00 pm");
}

TEST(Presentation, SystemSettingsTranslateTheCLocaleFormats) {
  const FormatSettings fs = LoadSystemFormatSettings();  // the tests run in the C locale
  EXPECT_EQ(fs.DecimalSeparator, '.');
  EXPECT_EQ(fs.ShortDateFormat, "mm/dd/yy");
  EXPECT_EQ(fs.DateSeparator, '/');
  EXPECT_EQ(fs.LongTimeFormat, "hh:nn:ss");
  EXPECT_EQ(fs.ShortTimeFormat, "hh:nn");
}

// A title or label longer than its report column would shift every cell after it.
TEST(Presentation, EveryLanguageFitsTheReportColumns) {
  std::vector<std::unique_ptr<TStringTable>> owned;
  std::vector<const TStringTable*> tables = {&TStringTable::English()};
  for (const std::string& lang : TStringTable::Languages()) {
    owned.push_back(TStringTable::ForLanguage(lang));
    tables.push_back(owned.back().get());
  }
  ASSERT_GE(tables.size(), 5u);
  using Label = std::string (*)(int, const TStringTable&);
  const struct {
    int column;
    Label label;
    int codes;
  } labelled[] = {{2, MaterialLabel, 15}, {3, ArticleLabel, 9}, {4, DirWord, 6},
                  {8, AgeLabel, 9},       {9, CondLabel, 3},    {10, OtbrakLabel, 4}};
  for (const TStringTable* tr : tables) {
    for (int c = 0; c < ColumnCount; ++c) {
      std::string title = ColumnTitle(c, *tr);
      if (c == ColR || c == ColS) {
        for (int u = 0; u < UnitCount; ++u)
          EXPECT_LE(Utf16Length(title + UnitReportText(u, *tr)), Columns[c].Width)
              << tr->Language() << ": " << title << UnitReportText(u, *tr);
      }
      EXPECT_LE(Utf16Length(title), Columns[c].Width) << tr->Language() << ": " << title;
    }
    for (const auto& l : labelled) {
      for (int code = 0; code < l.codes; ++code) {  // the last code is out of range: "Error"
        const std::string text = l.label(code, *tr);
        EXPECT_FALSE(text.empty());
        EXPECT_LE(Utf16Length(text), Columns[l.column].Width) << tr->Language() << ": " << text;
      }
    }
  }
}
