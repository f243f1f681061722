// The exports of the received archive: "Save as text" (the text report, the PDF protocol or the
// CSV table) and "Export to Excel" with the data pipe that hands the export engine one row per
// record and per single value.
#include "main_form.h"

#include <algorithm>

#include "base/utf8_path.h"
#include "mainwindow/archive_summary.h"
#include "mainwindow/csv_table.h"
#include "mainwindow/pdf_protocol.h"
#include "mainwindow/presentation.h"
#include "mainwindow/summary_sheet.h"
#include "mainwindow/textreport.h"

namespace {

TxlFont DesignFont(int height, TFontStyles style, THAlignment alignment) {
  TxlFont f;
  f.Name = "Tahoma";
  f.Charset = DEFAULT_CHARSET;
  f.Color = clWindowText;
  f.Orientation = 0;
  f.WrapText = false;
  f.SetHeight(height);
  f.Style = style;
  f.Alignment = alignment;
  return f;
}

void SetSizeAndStyle(TxlFont& f, int size, TFontStyles style) {
  f.Size = size;
  f.Style = style;
}

// A failed export leaves its workbook as the spreadsheet application would keep it: shown, with
// what was written so far. False when the application cannot even be shown.
bool KeepPartialWorkbook(TsxExcelExport& x) {
  if (!x.Connected() || !x.ExcelApplication || !x.ExcelVisible()) return false;
  try {
    x.ExcelApplication->SetScreenUpdating(true);
    x.ExcelApplication->SetVisible(true);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

EExportIncomplete::EExportIncomplete(const std::string& reason)
    : Exception(WithFullStop(reason) + " " + Str(TS::WorkbookIncomplete)), Reason(reason) {}

void TForm_Main::ConfigureExport() {
  if (!services_.Sheets) return;
  sxExcelExport1 = std::make_unique<TsxExcelExport>(services_.Sheets, Format());
  TsxExcelExport& x = *sxExcelExport1;
  x.SetDataPipe(dpCustom);
  x.SetStyleColumnWidth(cwAutoFit);
  x.SetColumnWidth(0);
  x.SetMergeHeaderCells(true);
  x.SetMergeFooterCells(true);
  x.SetAutoFilter(false);
  x.SetSummarySelection(ssNone);
  x.SetSummaryCalculation(scSUM);
  x.SetBeginRowTitles(6);
  x.SetBeginRowData(7);
  x.GroupOptions().ClearContents = true;
  x.GroupOptions().BorderRange = bsRow;
  x.GroupOptions().IntervalFontSize = 2;
  x.BorderTitles().LineStyle = blContinuous;
  x.BorderData().LineStyle = blContinuous;
  for (TCellBorder* b : {&x.BorderHeader(), &x.BorderTitles(), &x.BorderSummary(),
                         &x.BorderFooter(), &x.BorderGroup()})
    b->BackAlternateColor = clBlack;
  // Assigning copies the base attributes only; alignment and wrapping are set on the font itself.
  const auto design = [](TxlFont& target, const TxlFont& source) {
    target.Assign(source);
    target.Alignment = source.Alignment;
    target.WrapText = source.WrapText;
    target.Orientation = source.Orientation;
  };
  design(x.FontHeader(), DesignFont(-21, fsBold, haCenter));
  design(x.FontTitles(), DesignFont(-16, fsBold, haCenter));
  design(x.FontData(), DesignFont(-16, 0, haCenter));
  design(x.FontGroup(), DesignFont(-16, 0, haCenter));
  design(x.FontSummary(), DesignFont(1, 0, haGeneral));
  design(x.FontFooter(), DesignFont(1, 0, haCenter));

  x.OnGetFieldCount = [this](TsxExcelExport& s, int& n) { sxExcelExport1GetFieldCount(s, n); };
  x.OnGetFieldVisible = [this](TsxExcelExport& s, int i, bool& v) {
    sxExcelExport1GetFieldVisible(s, i, v);
  };
  x.OnGetFieldName = [this](TsxExcelExport& s, int i, std::string& v) {
    sxExcelExport1GetFieldName(s, i, v);
  };
  x.OnGetFieldDisplayName = [this](TsxExcelExport& s, int i, std::string& v) {
    sxExcelExport1GetFieldDisplayName(s, i, v);
  };
  x.OnGetFieldDataSize = [this](TsxExcelExport& s, int i, int& v) {
    sxExcelExport1GetFieldDataSize(s, i, v);
  };
  x.OnGetFieldDataType = [this](TsxExcelExport& s, int i, TFieldType& v) {
    sxExcelExport1GetFieldDataType(s, i, v);
  };
  x.OnGetFieldDecSize = [this](TsxExcelExport& s, int i, int& v) {
    sxExcelExport1GetFieldDecSize(s, i, v);
  };
  x.OnGotoFirstRecord = [this](TsxExcelExport& s) { sxExcelExport1GotoFirstRecord(s); };
  x.OnGotoNextRecord = [this](TsxExcelExport& s) { sxExcelExport1GotoNextRecord(s); };
  x.OnGetEOF = [this](TsxExcelExport& s, bool& v) { sxExcelExport1GetEOF(s, v); };
  x.OnGetFieldValue = [this](TsxExcelExport& s, int i, TVariant& v) {
    sxExcelExport1GetFieldValue(s, i, v);
  };
  x.OnExportRecords = [this](TsxExcelExport& s, int n) { sxExcelExport1ExportRecords(s, n); };
  x.HostBusyCursor = [this](bool busy) {
    if (busy)
      app_.PushBusyCursor();
    else
      app_.PopBusyCursor();
  };
  x.HostProcessMessages = [this] { app_.ProcessMessages(); };
}

// ---- "Save as text" ---------------------------------------------------------------------------

void TForm_Main::B_TextClick(TObject*) {
  SetStateExport();
  Form->Repaint();
  try {
    ExportCursor.Position = 0;
    ExportCursor.Single = 0;
    const std::uint32_t count = Archive.RecTotal();
    PB_Data->SetMin(0);
    PB_Data->SetMax(static_cast<int>(count));
    PB_Data->SetPosition(0);
    TTextReport report = BuildTextReport(Archive, NormalizeUnit(Unit), Singles, Format(),
                                         services_.Now(), [this](std::size_t done) {
                                           ExportCursor.Position = static_cast<std::uint32_t>(done);
                                           PB_Data->SetPosition(static_cast<int>(done));
                                           PB_Data->Repaint();
                                         });
    PB_Data->SetMax(100);
    PB_Data->SetPosition(100);
    PB_Data->Repaint();
    SaveAsText->SetFilterIndex(DefFilter);
    if (SaveAsText->Execute()) {
      const std::string fileName = SaveAsText->FileName();
      DefPath = PathUtf8(Utf8Path(fileName).parent_path());
      DefFilter = NormalizeFilterIndex(SaveAsText->FilterIndex());
      WriteSetting([&](TRegistry& r) { r.WriteInteger("DefFilter", DefFilter); });
      const TSaveFormat format = SaveFormatOf(fileName, DefFilter);
      if (format == TSaveFormat::Text) {
        report.SaveToFile(fileName);
      } else {
        report.Clear();
        WriteArchive(format, fileName);
      }
      ArchiveExported = true;
    }
  } catch (...) {
    SetStateDataReady();
    throw;
  }
  SetStateDataReady();
}

void TForm_Main::SaveArchive(TSaveFormat format, const std::string& fileName) {
  SetStateExport();
  Form->Repaint();
  try {
    WriteArchive(format, fileName);
  } catch (...) {
    SetStateDataReady();
    throw;
  }
  SetStateDataReady();
}

void TForm_Main::WriteArchive(TSaveFormat format, const std::string& fileName) {
  const std::uint32_t count = Archive.RecTotal();
  PB_Data->SetMin(0);
  PB_Data->SetMax(static_cast<int>(count));
  PB_Data->SetPosition(0);
  const auto progress = [this](std::size_t done) {
    // The bar moves in steps of a hundredth: repainting it is what costs.
    const std::uint32_t total = Archive.RecTotal();
    if (done != total && done % std::max<std::uint32_t>(1, total / 100) != 0) return;
    PB_Data->SetPosition(static_cast<int>(done));
    PB_Data->Repaint();
  };
  const int unit = NormalizeUnit(Unit);
  if (format == TSaveFormat::Pdf) {
    WritePdfProtocol({.Archive = Archive,
                      .Unit = unit,
                      .Singles = Singles,
                      .Format = Format(),
                      .Tr = Strings(),
                      .ReadAt = ReadAt,
                      .TesterDate = DevDate,
                      .Now = services_.Now()},
                     fileName, progress);
  } else if (format == TSaveFormat::Csv) {
    WriteCsvTable(Archive, unit, Singles, Format(), fileName, progress);
  } else {
    BuildTextReport(Archive, unit, Singles, Format(), services_.Now(), progress)
        .SaveToFile(fileName);
  }
  PB_Data->SetMax(100);
  PB_Data->SetPosition(100);
  PB_Data->Repaint();
}

// ---- "Export to Excel" ------------------------------------------------------------------------

void TForm_Main::B_ExcelClick(TObject*) {
  if (!sxExcelExport1 || sxExcelExport1->ExcelVersion() == 0) return;
  TsxExcelExport& x = *sxExcelExport1;
  SetStateExport();
  Form->Repaint();
  ExportCursor = {
      .Position = 0, .Single = 0, .SingleRow = false, .End = false, .Size = Archive.RecTotal()};
  std::exception_ptr failure;
  bool exported = false;
  std::optional<std::string> summaryMissing;
  try {
    x.SetExcelVisible(true);
    x.SetConnectTo(ctNewExcel);
    x.SetDataPipe(dpCustom);
    x.SetGroupFields(Singles ? TsxExcelExport::TStrings{"N"} : TsxExcelExport::TStrings{});
    x.SetWorksheetName(Str(TS::Caption));
    x.SetHeaderText({" ", Str(TS::Caption), " ", DateTimeText(services_.Now(), Format())});
    x.BorderTitles().LineStyle = blContinuous;
    x.BorderData().LineStyle = blContinuous;
    x.BorderGroup().LineStyle = blContinuous;
    SetSizeAndStyle(x.FontHeader(), 16, fsBold);
    SetSizeAndStyle(x.FontTitles(), 12, fsBold);
    SetSizeAndStyle(x.FontGroup(), 12, 0);
    SetSizeAndStyle(x.FontData(), 12, 0);
    x.ExportDataset();
    exported = true;
    summaryMissing = WriteSummary(x);
    if (OnWorkbookWritten) OnWorkbookWritten(x);
    ArchiveExported = true;
    PB_Data->SetPosition(100);
    PB_Data->Repaint();
    Form->Repaint();
  } catch (...) {
    failure = std::current_exception();
    if (!exported && KeepPartialWorkbook(x))
      if (const auto reason = ErrorReportText(failure))
        failure = std::make_exception_ptr(EExportIncomplete(*reason));
  }
  try {
    x.Disconnect(false);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  SetStateDataReady();
  if (failure) std::rethrow_exception(failure);
  if (summaryMissing) {
    if (OnNotice)
      OnNotice(*summaryMissing);
    else
      ShowInfo(*summaryMissing, Str(TS::Information), "SystemDefault");
  }
}

// The summary sheet and the print layout of both sheets. The data sheet is whole already: a
// failure here only leaves the summary out, and what to tell the user is returned.
std::optional<std::string> TForm_Main::WriteSummary(TsxExcelExport& x) {
  try {
    SetPrintLayout(*x.ExcelWorkSheet, x.BeginRowTitles());
    WriteSummarySheet(*x.ExcelWorkbook, *x.ExcelWorkSheet,
                      SummarizeArchive(Archive, NormalizeUnit(Unit)), Format());
    return std::nullopt;
  } catch (const std::exception& e) {
    return Str(TS::SummaryMissing, {e.what()});
  }
}

void TForm_Main::sxExcelExport1GetFieldCount(TsxExcelExport&, int& IntFieldCount) {
  IntFieldCount = ColumnCount;
}

void TForm_Main::sxExcelExport1GetFieldVisible(TsxExcelExport&, int, bool& BlnFieldVisible) {
  BlnFieldVisible = true;
}

void TForm_Main::sxExcelExport1GetFieldName(TsxExcelExport&, int IntFieldIndex,
                                            std::string& StrFieldName) {
  if (IntFieldIndex >= 0 && IntFieldIndex < ColumnCount)
    StrFieldName = Columns[IntFieldIndex].FieldName;
}

void TForm_Main::sxExcelExport1GetFieldDisplayName(TsxExcelExport&, int IntFieldIndex,
                                                   std::string& StrFieldDisplayName) {
  if (IntFieldIndex == ColR)
    StrFieldDisplayName = ColumnTitle(ColR) + CB_Unit->Text();
  else if (IntFieldIndex == ColS)
    StrFieldDisplayName = ColumnTitle(ColS) + CB_Unit->Text();
  else if (IntFieldIndex >= 0 && IntFieldIndex < ColumnCount)
    StrFieldDisplayName = ColumnTitle(IntFieldIndex);
}

void TForm_Main::sxExcelExport1GetFieldDataSize(TsxExcelExport&, int IntFieldIndex,
                                                int& IntFieldDataSize) {
  if (IntFieldIndex >= 0 && IntFieldIndex < ColumnCount)
    IntFieldDataSize = Columns[IntFieldIndex].Width;
}

void TForm_Main::sxExcelExport1GetFieldDataType(TsxExcelExport&, int IntFieldIndex,
                                                TFieldType& FieldDataType) {
  if (IntFieldIndex >= 0 && IntFieldIndex < ColumnCount)
    FieldDataType = Columns[IntFieldIndex].Type;
}

void TForm_Main::sxExcelExport1GetFieldDecSize(TsxExcelExport&, int IntFieldIndex,
                                               int& IntFieldDecSize) {
  switch (IntFieldIndex) {
    case ColR:
    case ColS:
    case ColRpr:
      IntFieldDecSize = StrengthDecimals(NormalizeUnit(Unit));
      break;
    case 7:
      IntFieldDecSize = 1;
      break;
    case 12:
      IntFieldDecSize = 2;
      break;
    default:
      break;
  }
}

void TForm_Main::sxExcelExport1GotoFirstRecord(TsxExcelExport&) {
  ExportCursor.First();
}

void TForm_Main::sxExcelExport1GotoNextRecord(TsxExcelExport&) {
  ExportCursor.Next(Archive, Singles);
}

void TForm_Main::sxExcelExport1GetEOF(TsxExcelExport&, bool& BlnEOF) {
  BlnEOF = ExportCursor.End;
}

void TForm_Main::sxExcelExport1GetFieldValue(TsxExcelExport&, int IntFieldIndex,
                                             TVariant& VarValue) {
  if (ExportCursor.Size == 0 || ExportCursor.Position >= ExportCursor.Size) return;
  const ArchiveSlot& slot = Archive.Slot(ExportCursor.Position);
  const int unit = NormalizeUnit(Unit);
  const std::int64_t number = static_cast<std::int64_t>(ExportCursor.Position) + 1;
  if (ExportCursor.SingleRow) {
    if (IntFieldIndex == 0) VarValue = number;
    if (IntFieldIndex == ColRpr && static_cast<int>(ExportCursor.Single) < RprCount(slot))
      VarValue = StrengthNumber(Rpr(slot, static_cast<int>(ExportCursor.Single)), unit);
    return;
  }
  switch (IntFieldIndex) {
    case 0:
      VarValue = number;
      break;
    case 1:
      VarValue = DateTimeText(RecordDateTime(slot), Format());
      break;
    case 2:
      VarValue = MaterialLabel(Material(slot));
      break;
    case 3:
      VarValue = ArticleLabel(Article(slot));
      break;
    case 4:
      VarValue = DirArrow(Dir(slot));
      break;
    case ColR:
      VarValue = StrengthNumber(R(slot), unit);
      break;
    case ColS:
      VarValue = StrengthNumber(S(slot), unit);
      break;
    case 7:
      VarValue = V(slot);
      break;
    case 8:
      VarValue = AgeLabel(Age(slot));
      break;
    case 9:
      VarValue = CondLabel(Cond(slot));
      break;
    case 10:
      VarValue = OtbrakLabel(Otbrak(slot));
      break;
    case 11:
      VarValue = static_cast<std::int64_t>(Limit(slot));
      break;
    case 12:
      VarValue = Kc(slot);
      break;
    case 13:
      VarValue = static_cast<std::int64_t>(Q(slot));
      break;
    default:
      break;
  }
}

void TForm_Main::sxExcelExport1ExportRecords(TsxExcelExport&, int IntRecordNumber) {
  int position = 0;
  if (ExportCursor.Size > 0)
    position = static_cast<int>(
        (static_cast<std::int64_t>(IntRecordNumber) * 100 / ExportCursor.Size) / 14);
  PB_Data->SetPosition(position);
}
