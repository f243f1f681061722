#include "sheetexport/builtin_files.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fstream>
#include <functional>
#include <map>

#include "base/exceptions.h"
#include "base/utf16.h"
#include "base/utf8_path.h"
#include "platform/files/atomic_file.h"
#include "platform/files/narrow_folder.h"
#include "platform/process/stderr_capture.h"
#include "sheetexport/builtin_chart.h"
#include "sheetexport/builtin_format.h"
#include "text/string_table.h"

namespace builtin {
namespace {

lxw_color_t RgbOf(TColor c) {
  if ((c >> 24) == 0xFF) {
    switch (c & 0xFF) {
      case 5:
        return 0xFFFFFF;  // window
      case 15:
        return 0xF0F0F0;  // button face
      default:
        return LXW_COLOR_BLACK;
    }
  }
  const lxw_color_t rgb = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
  return rgb == 0 ? static_cast<lxw_color_t>(LXW_COLOR_BLACK) : rgb;
}

// System text colours mean the automatic font colour.
bool IsAutomaticText(TColor c) {
  return c == kAutomatic || c == 0xFF000008u || c == 0xFF000012u;
}

uint8_t BorderOf(const TEdge& e) {
  const bool heavy = e.Weight == -4138 || e.Weight == 4;
  switch (e.LineStyle) {
    case kNoLine:
      return LXW_BORDER_NONE;
    case 1:
      switch (e.Weight) {
        case 1:
          return LXW_BORDER_HAIR;
        case -4138:
          return LXW_BORDER_MEDIUM;
        case 4:
          return LXW_BORDER_THICK;
        default:
          return LXW_BORDER_THIN;
      }
    case -4115:
      return heavy ? LXW_BORDER_MEDIUM_DASHED : LXW_BORDER_DASHED;
    case 4:
      return heavy ? LXW_BORDER_MEDIUM_DASH_DOT : LXW_BORDER_DASH_DOT;
    case 5:
      return heavy ? LXW_BORDER_MEDIUM_DASH_DOT_DOT : LXW_BORDER_DASH_DOT_DOT;
    case -4118:
      return e.Weight == 1 ? LXW_BORDER_HAIR : LXW_BORDER_DOTTED;
    case -4119:
      return LXW_BORDER_DOUBLE;
    case 13:
      return LXW_BORDER_SLANT_DASH_DOT;
    default:
      return LXW_BORDER_THIN;
  }
}

lxw_format* MakeFormat(lxw_workbook* wb, const TBook& book, const TCellStyle& s) {
  lxw_format* f = workbook_add_format(wb);
  if (s.FontName != 0) format_set_font_name(f, book.Texts.At(s.FontName).c_str());
  if (s.FontSize != 11) format_set_font_size(f, s.FontSize);
  if (!IsAutomaticText(s.FontColor)) format_set_font_color(f, RgbOf(s.FontColor));
  if (s.Bold) format_set_bold(f);
  if (s.Italic) format_set_italic(f);
  if (s.Underline) format_set_underline(f, LXW_UNDERLINE_SINGLE);
  if (s.Wrap) format_set_text_wrap(f);
  if (s.Fill != kAutomatic) {
    format_set_pattern(f, LXW_PATTERN_SOLID);
    format_set_bg_color(f, RgbOf(s.Fill));
  }
  const auto edge = [&](TEdgeIndex i, void (*style)(lxw_format*, uint8_t),
                        void (*color)(lxw_format*, lxw_color_t)) {
    const TEdge& e = s.Edges[i];
    if (e.LineStyle == kNoLine) return;
    style(f, BorderOf(e));
    if (e.Color != kAutomatic && !IsAutomaticText(e.Color)) color(f, RgbOf(e.Color));
  };
  edge(edLeft, format_set_left, format_set_left_color);
  edge(edTop, format_set_top, format_set_top_color);
  edge(edBottom, format_set_bottom, format_set_bottom_color);
  edge(edRight, format_set_right, format_set_right_color);
  if (s.NumberFormat != 0) format_set_num_format(f, book.Texts.At(s.NumberFormat).c_str());
  switch (s.HAlign) {
    case -4131:
      format_set_align(f, LXW_ALIGN_LEFT);
      break;
    case -4152:
      format_set_align(f, LXW_ALIGN_RIGHT);
      break;
    case -4108:
      format_set_align(f, LXW_ALIGN_CENTER);
      break;
    case -4130:
      format_set_align(f, LXW_ALIGN_JUSTIFY);
      break;
    default:
      break;
  }
  if (s.Orientation != 0) format_set_rotation(f, s.Orientation);
  return f;
}

void Check(lxw_error e, const std::string& what) {
  if (e != LXW_NO_ERROR) throw ESheetAppError(what + ": " + lxw_strerror(e));
}

std::string HeaderText(const std::string& text) {
  std::string out = "&C";
  for (const char c : text) {
    out += c;
    if (c == '&') out += '&';
  }
  if (out.size() > 255) out.resize(255);
  return out;
}

void WritePageSetup(lxw_worksheet* ws, const TPageSetup& page) {
  if (page.PrintGridlines) worksheet_gridlines(ws, LXW_SHOW_ALL_GRIDLINES);
  if (!page.CenterHeader.empty())
    Check(worksheet_set_header(ws, HeaderText(page.CenterHeader).c_str()), "page header");
  if (page.Landscape) worksheet_set_landscape(ws);
  if (page.Zoom == 0)
    worksheet_fit_to_pages(ws, static_cast<uint16_t>(page.FitWide),
                           static_cast<uint16_t>(page.FitTall));
  else if (page.Zoom != 100)
    worksheet_set_print_scale(ws, static_cast<uint16_t>(page.Zoom));
  if (page.TitleRow1 >= 0)
    Check(worksheet_repeat_rows(ws, static_cast<lxw_row_t>(page.TitleRow1),
                                static_cast<lxw_row_t>(page.TitleRow2)),
          "print titles");
}

// The chart's place in points becomes a cell and an offset in pixels from it.
lxw_chart_options Placement(const TSheet& sheet, const TChart& chart, int& row, int& column) {
  const auto px = [](double points) {
    return static_cast<int>(std::lround(points / kPixelPoints));
  };
  int x = px(chart.Left), y = px(chart.Top);
  column = 0;
  for (int w; x >= (w = TSheet::ColumnPixels(sheet.ColumnWidth(column))); x -= w) ++column;
  const int rowPixels = px(kRowPoints);
  row = y / rowPixels;
  lxw_chart_options o{};
  o.x_offset = x;
  o.y_offset = y % rowPixels;
  o.x_scale = px(chart.Width) / 480.0;  // the library's charts are 480 x 288 pixels
  o.y_scale = px(chart.Height) / 288.0;
  return o;
}

lxw_chart_series* AddSeries(lxw_chart* chart, const TChartSeries& s) {
  lxw_chart_series* series = chart_add_series(chart, nullptr, nullptr);
  chart_series_set_values(series, s.ValuesSheet->Name.c_str(), s.Values.Row1, s.Values.Column1,
                          s.Values.Row2, s.Values.Column2);
  if (s.CategoriesSheet)
    chart_series_set_categories(series, s.CategoriesSheet->Name.c_str(), s.Categories.Row1,
                                s.Categories.Column1, s.Categories.Row2, s.Categories.Column2);
  chart_series_set_name(series, s.Name.c_str());
  return series;
}

// The library cannot combine chart types: a line series in a column chart is drawn as the
// straight-line trend of columns that stay unseen behind the others. For the flat series it
// is used for (a mean repeated) that trend is the series' own line.
void AddLineOverColumns(lxw_chart* chart, const TChartSeries& s) {
  lxw_chart_series* series = AddSeries(chart, s);
  lxw_chart_fill none{};
  none.none = LXW_TRUE;
  lxw_chart_line noLine{};
  noLine.none = LXW_TRUE;
  chart_series_set_fill(series, &none);
  chart_series_set_line(series, &noLine);
  chart_series_set_trendline(series, LXW_CHART_TRENDLINE_TYPE_LINEAR, 0);
  chart_series_set_trendline_name(series, s.Name.c_str());
  lxw_chart_line line{};
  line.color = 0xC00000;
  line.width = 2.25;
  chart_series_set_trendline_line(series, &line);
}

void WriteCharts(lxw_workbook* wb, lxw_worksheet* ws, const TSheet& sheet) {
  for (const TChart& c : sheet.Charts) {
    const bool columns = c.Type == 51;
    lxw_chart* chart = workbook_add_chart(wb, columns ? LXW_CHART_COLUMN : LXW_CHART_LINE);
    if (!chart) throw ESheetAppError("chart");
    std::vector<std::int16_t> unseen;  // legend keys of the columns behind a line
    std::int16_t index = 0;
    for (const TChartSeries& s : c.Series) {
      if (!s.ValuesSheet) continue;
      if (columns && s.Type == 4) {
        AddLineOverColumns(chart, s);
        unseen.push_back(index);
      } else {
        AddSeries(chart, s);
      }
      ++index;
    }
    if (columns) chart_set_series_overlap(chart, 100);
    if (!unseen.empty()) {
      unseen.push_back(-1);
      Check(chart_legend_delete_series(chart, unseen.data()), "chart legend");
    }
    if (c.HasTitle && !c.Title.empty()) chart_title_set_name(chart, c.Title.c_str());
    if (!c.HasLegend)
      chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
    else
      chart_legend_set_position(chart, LXW_CHART_LEGEND_BOTTOM);
    int row = 0, column = 0;
    lxw_chart_options o = Placement(sheet, c, row, column);
    Check(worksheet_insert_chart_opt(ws, static_cast<lxw_row_t>(row),
                                     static_cast<lxw_col_t>(column), chart, &o),
          "chart");
  }
}

void WriteSheet(lxw_workbook* wb, lxw_worksheet* ws, const TBook& book, const TSheet& sheet,
                std::vector<lxw_format*>& formats, const std::function<void()>& checkWrites) {
  const auto format = [&](std::uint32_t style) -> lxw_format* {
    if (style == 0) return nullptr;
    if (!formats[style]) formats[style] = MakeFormat(wb, book, book.Styles.At(style));
    return formats[style];
  };
  std::vector<std::pair<int, double>> widths(sheet.ColumnWidths.begin(), sheet.ColumnWidths.end());
  std::sort(widths.begin(), widths.end());
  for (const auto& [col, width] : widths)
    Check(worksheet_set_column(ws, col, col, width, nullptr), "column width");
  worksheet_outline_settings(ws, 1, sheet.SummaryBelow, sheet.SummaryRight, 0);
  WritePageSetup(ws, sheet.Page);
  WriteCharts(wb, ws, sheet);
  if (sheet.HasFilter)
    Check(worksheet_autofilter(ws, sheet.Filter.Row1, sheet.Filter.Column1, sheet.Filter.Row2,
                               sheet.Filter.Column2),
          "auto filter");
  std::multimap<int, const TArea*> merges;
  for (const TArea& m : sheet.Merges) merges.emplace(m.Row1, &m);

  for (std::size_t r = 0; r < sheet.Rows.size(); ++r) {
    const TRow& row = sheet.Rows[r];
    const auto rowNo = static_cast<lxw_row_t>(r);
    if (row.Level || row.Hidden || row.Collapsed) {
      lxw_row_col_options options{row.Hidden, row.Level, row.Collapsed};
      Check(worksheet_set_row_opt(ws, rowNo, LXW_DEF_ROW_HEIGHT, nullptr, &options), "row");
    }
    for (auto [it, end] = merges.equal_range(static_cast<int>(r)); it != end; ++it) {
      const TArea& m = *it->second;
      const TCell* first = sheet.Find(m.Row1, m.Column1);
      Check(worksheet_merge_range(ws, m.Row1, m.Column1, m.Row2, m.Column2, "",
                                  format(first ? first->Style : 0)),
            "merge");
    }
    for (const TCell& c : row.Cells) {
      lxw_format* f = format(c.Style);
      lxw_error e = LXW_NO_ERROR;
      switch (c.Kind) {
        case TCellKind::Number:
          e = worksheet_write_number(ws, rowNo, c.Column, c.Number, f);
          break;
        case TCellKind::Text:
          if (c.Text == 0)
            e = f ? worksheet_write_blank(ws, rowNo, c.Column, f) : LXW_NO_ERROR;
          else
            e = worksheet_write_string(ws, rowNo, c.Column, book.Texts.At(c.Text).c_str(), f);
          break;
        case TCellKind::Formula:
          e = worksheet_write_formula(ws, rowNo, c.Column, book.Texts.At(c.Text).c_str(), f);
          break;
        case TCellKind::Boolean:
          e = worksheet_write_boolean(ws, rowNo, c.Column, c.Boolean, f);
          break;
        case TCellKind::Blank:
          if (f) e = worksheet_write_blank(ws, rowNo, c.Column, f);
          break;
      }
      Check(e, "cell");
    }
    checkWrites();
  }
}

// The library's own diagnostics: the system's reason where it gives one, else its message.
std::string LibraryReason(const std::string& printed) {
  const std::string system = "System error = ";
  if (const auto at = printed.find(system); at != std::string::npos)
    return printed.substr(at + system.size(), printed.find('\n', at) - at - system.size());
  const auto start = printed.find("]: ");
  if (start == std::string::npos) return {};
  return printed.substr(start + 3, printed.find('\n', start) - start - 3);
}

// The whole book through the library into the file of that narrow name; the library's
// result. Rows go out one at a time in constant-memory mode; a merge over several rows needs the
// whole sheet in the library's memory.
lxw_error WriteBook(const TBook& book, const std::string& name, std::string tmpdir,
                    const std::function<void()>& checkWrites) {
  std::size_t cells = 0;
  bool tallMerge = false;
  for (const auto& sheet : book.Sheets) {
    for (const TRow& row : sheet->Rows) cells += row.Cells.size();
    for (const TArea& m : sheet->Merges) tallMerge = tallMerge || m.Row2 > m.Row1;
  }
  lxw_workbook_options options{};
  options.constant_memory = tallMerge ? 0 : 1;
  options.tmpdir = tmpdir.data();
  options.use_zip64 = cells > 4'000'000 ? 1 : 0;
  lxw_workbook* wb = workbook_new_opt(name.c_str(), &options);
  if (!wb) return LXW_ERROR_CREATING_XLSX_FILE;
  std::vector<lxw_format*> formats(book.Styles.Size(), nullptr);
  try {
    for (std::size_t i = 0; i < book.Sheets.size(); ++i) {
      const TSheet& sheet = *book.Sheets[i];
      lxw_worksheet* ws = workbook_add_worksheet(wb, sheet.Name.c_str());
      if (!ws) throw ESheetAppError("The sheet name " + sheet.Name + " is not accepted");
      if (static_cast<int>(i) == book.Active) worksheet_activate(ws);
      WriteSheet(wb, ws, book, sheet, formats, checkWrites);
    }
  } catch (...) {
    workbook_close(wb);
    throw;
  }
  return workbook_close(wb);
}

}  // namespace

// The library opens its output by name through narrow calls: it writes a temporary file with an
// ASCII name beside the target (its own temporary files go there too), which then replaces the
// target as a whole. The library ignores failed writes of its own temporary files (rows would
// go missing without a word), so errno is watched after every row and after the close.
void WriteXlsx(const TBook& book, const std::string& path) {
  try {
    TFileReplacement file(Utf8Path(path));
    file.Close();
    const auto checkWrites = [&file] {
      if (IsLostWriteErrno(errno)) file.FailErrno(errno);
    };
    {
      // The library prints its errors to standard error; they become this error's text instead.
      TStderrCapture diagnostics;
      const TNarrowFolder folder(file.Folder());
      errno = 0;
      const lxw_error e = WriteBook(book, folder.Name(file.Temp().filename().string()),
                                    folder.Spelling(), checkWrites);
      checkWrites();
      // A file the library could not open has the system's reason; other failures its own.
      if (e == LXW_ERROR_CREATING_XLSX_FILE && errno != 0) file.FailErrno(errno);
      if (e != LXW_NO_ERROR) {
        const std::string reason = LibraryReason(diagnostics.Text());
        throw ESheetAppError(
            CannotWriteFileText(Utf8Path(path), reason.empty() ? lxw_strerror(e) : reason));
      }
    }
    file.Commit();
  } catch (const EOSError& e) {
    throw ESheetAppError(e.Message());
  }
}

std::string CellText(const TBook& book, const TCell& cell) {
  switch (cell.Kind) {
    case TCellKind::Number:
      return FormatNumber(cell.Number, cell.Style
                                           ? book.Texts.At(book.Styles.At(cell.Style).NumberFormat)
                                           : std::string());
    case TCellKind::Text:
    case TCellKind::Formula:
      return book.Texts.At(cell.Text);
    case TCellKind::Boolean:
      return cell.Boolean ? "TRUE" : "FALSE";
    default:
      return {};
  }
}

void WriteCsv(const TSheet& sheet, const std::string& path) {
  try {
    TAtomicFile out(Utf8Path(path));
    std::string line;
    TArea used{};
    if (sheet.Used(used)) {
      for (int r = 0; r <= used.Row2; ++r) {
        const auto& cells = sheet.Rows[r].Cells;
        std::size_t k = 0;
        line.clear();
        for (int c = 0; c <= used.Column2; ++c) {
          if (c > 0) line += ',';
          while (k < cells.size() && cells[k].Column < c) ++k;
          if (k == cells.size() || cells[k].Column != c) continue;
          const std::string text = CellText(sheet.Book, cells[k]);
          if (text.find_first_of(",\"\r\n") == std::string::npos) {
            line += text;
            continue;
          }
          line += '"';
          for (const char ch : text) line += ch == '"' ? std::string("\"\"") : std::string(1, ch);
          line += '"';
        }
        line += "\r\n";
        out.Write(line);
      }
    }
    out.Commit();
  } catch (const EOSError& e) {
    throw ESheetAppError(e.Message());
  }
}

std::shared_ptr<TBook> ReadCsv(const std::string& path) {
  std::ifstream in(Utf8Path(path), std::ios::binary);
  if (!in) throw ESheetAppError(Str(TS::CannotOpenFile, {path}));
  auto book = std::make_shared<TBook>();
  std::string stem = PathUtf8(Utf8Path(path).stem());
  if (stem.empty() || Utf16Length(stem) > 31) stem = "Sheet1";
  book->Sheets.push_back(std::make_unique<TSheet>(*book, stem));
  TSheet& sheet = *book->Sheets.front();
  int row = 0, col = 0;
  std::string field;
  bool quoted = false, wasQuoted = false;
  const auto put = [&] {
    double v = 0;  // with a point, whatever the process's locale
    const char* last = field.data() + field.size();
    if (!field.empty() && !wasQuoted && std::from_chars(field.data(), last, v).ptr == last)
      sheet.SetValue(row, col, v);
    else if (!field.empty())
      sheet.SetValue(row, col, field);
    field.clear();
    wasQuoted = false;
  };
  char c;
  while (in.get(c)) {
    if (quoted) {
      if (c == '"') {
        if (in.peek() == '"') {
          in.get(c);
          field += '"';
        } else {
          quoted = false;
        }
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = wasQuoted = true;
    } else if (c == ',') {
      put();
      ++col;
    } else if (c == '\n') {
      put();
      ++row;
      col = 0;
    } else if (c != '\r') {
      field += c;
    }
  }
  if (!field.empty() || col > 0) put();
  return book;
}

}  // namespace builtin
