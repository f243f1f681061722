#include "mainwindow/csv_table.h"

#include "base/utf8_path.h"
#include "mainwindow/presentation.h"
#include "platform/files/atomic_file.h"

namespace {

// One field and the separator after it; the row's last separator becomes its line end.
void Field(std::string& row, char separator, const std::string& text) {
  const char specials[] = {separator, '"', '\r', '\n', '\0'};
  if (text.find_first_of(specials) == std::string::npos) {
    row += text;
  } else {
    row += '"';
    for (const char c : text) {
      if (c == '"') row += '"';
      row += c;
    }
    row += '"';
  }
  row += separator;
}

void EndRow(std::string& row) {
  row.back() = '\r';
  row += '\n';
}

}  // namespace

char CsvSeparator(const FormatSettings& fs) {
  return fs.DecimalSeparator == ',' ? ';' : ',';
}

void WriteCsvTable(const TArchive& archive, int unit, bool singles, const FormatSettings& fs,
                   const std::string& fileName, const std::function<void(std::size_t)>& progress,
                   const TStringTable& tr) {
  const char sep = CsvSeparator(fs);
  unit = NormalizeUnit(unit);
  TAtomicFile out(Utf8Path(fileName));
  std::string rows = "\xEF\xBB\xBF";
  for (int c = 0; c < ColRpr; ++c) {
    std::string title = ColumnTitle(c, tr);
    if (c == ColR || c == ColS) title += UnitReportText(unit, tr);
    Field(rows, sep, title);
  }
  if (singles)
    for (std::size_t k = 1; k <= kMaxSingles; ++k)
      Field(rows, sep, FormatText(tr.Text(TS::CsvSingleTitle), {std::to_string(k)}));
  EndRow(rows);
  const std::size_t total = archive.RecTotal();
  for (std::size_t i = 0; i < total; ++i) {
    const ArchiveSlot& slot = archive.Slot(i);
    Field(rows, sep, std::to_string(i + 1));
    Field(rows, sep, DateTimeText(RecordDateTime(slot), fs));
    Field(rows, sep, MaterialLabel(Material(slot), tr));
    Field(rows, sep, ArticleLabel(Article(slot), tr));
    Field(rows, sep, DirWord(Dir(slot), tr));
    Field(rows, sep, Unpadded(StrengthText(R(slot), unit, fs)));
    Field(rows, sep, Unpadded(StrengthText(S(slot), unit, fs)));
    Field(rows, sep, Unpadded(VText(V(slot), fs)));
    Field(rows, sep, AgeLabel(Age(slot), tr));
    Field(rows, sep, CondLabel(Cond(slot), tr));
    Field(rows, sep, OtbrakLabel(Otbrak(slot), tr));
    Field(rows, sep, std::to_string(Limit(slot)));
    Field(rows, sep, Unpadded(KcText(Kc(slot), fs)));
    Field(rows, sep, std::to_string(Q(slot)));
    if (singles) {
      const int n = RprCount(slot);
      for (int k = 0; k < static_cast<int>(kMaxSingles); ++k)
        Field(rows, sep, k < n ? Unpadded(StrengthText(Rpr(slot, k), unit, fs)) : std::string());
    }
    EndRow(rows);
    if (rows.size() >= (1u << 16)) {
      out.Write(rows);
      rows.clear();
    }
    if (progress) progress(i + 1);
  }
  out.Write(rows);
  out.Commit();
}
