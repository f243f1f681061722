// Creation, defaults, the row and column rules and the session with the application.
#include "sheetexport/sx_excel_export.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "base/utf8_path.h"
#include "sheetexport/sx_variant_text.h"

namespace {
constexpr int kTemplateOneSheet = -4167;

bool IsBlank(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' '; });
}

constexpr const char* kExcelClass = "Excel.Application";

// The major version in a class's current version, "Excel.Application.16" → 16; 0 for anything
// else, and for versions older than the oldest that automation drives.
int VersionOfClass(const std::string& current) {
  const std::string prefix = std::string(kExcelClass) + ".";
  if (current.size() <= prefix.size() || current.size() > prefix.size() + 4) return 0;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(current[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i])))
      return 0;
  int version = 0;
  for (std::size_t i = prefix.size(); i < current.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(current[i]))) return 0;
    version = version * 10 + (current[i] - '0');
  }
  return version >= 8 ? version : 0;
}
}  // namespace

TsxExcelExport::TsxExcelExport(std::shared_ptr<TSheetSystem> system, const FormatSettings& settings)
    : FSystem(std::move(system)), FSettings(settings) {
  FTypeLibrary = tlExcel2000;
  FDataPipe = dpDataSet;
  FBlnConnected = false;
  LoadDefaultProperties(AllPropertyGroups);
  ExcelVersion();
  FRecExcelRestrictions = {65536, 256, 910};
  if (FIntExcelVersion > 11) FRecExcelRestrictions = {1048576, 16384, 99999};
  if (FIntExcelVersion == 9) FRecExcelRestrictions.MaxStringLength = 99999;
  FDecimalSeparator = settings.DecimalSeparator;
  FThousandSeparator = settings.ThousandSeparator;
}

TsxExcelExport::~TsxExcelExport() = default;

void TsxExcelExport::LoadDefaultProperties(TPropertyGroups groups) {
  if (groups & PropertyGroup(pgFont)) {
    for (TxlFont* f :
         {&FFontHeader, &FFontTitles, &FFontData, &FFontSummary, &FFontGroup, &FFontFooter})
      *f = TxlFont{};
    for (TCellBorder* b : {&FBorderHeader, &FBorderTitles, &FBorderData, &FBorderSummary,
                           &FBorderGroup, &FBorderFooter})
      *b = TCellBorder{};
    FBorderData.BackAlternateColor = clWhite;
  }
  if (groups & PropertyGroup(pgPositions)) {
    FIntBlockOfRecords = 20;
    FIntBeginRowHeader = 1;
    FIntBeginRowTitles = 1;
    FIntBeginRowData = 2;
    FIntBeginColumnHeader = 1;
    FIntBeginColumnData = 1;
  }
  if (groups & PropertyGroup(pgText)) {
    FHeaderText.clear();
    FFooterText.clear();
    FBlnMergeHeaderCells = true;
    FBlnMergeFooterCells = true;
  }
  if (groups & PropertyGroup(pgSummary)) {
    FSummaryCalculation = scSUM;
    FSummarySelection = ssNone;
    FSummaryFields.clear();
  }
  if (groups & PropertyGroup(pgGroup)) {
    FGroupOptions = TGroupOptions{};
    FGroupFields.clear();
  }
  if (groups & PropertyGroup(pgOther)) {
    FBlnExcelVisible = true;
    FConnectTo = ctNewExcel;
    FStrFilename.clear();
    FStrWorksheetName.clear();
    FStyleColumnWidth = cwDefault;
    FBlnVisibleFieldsOnly = true;
    FBlnShowTitles = true;
    FIntColumnWidth = 0;
    FBlnAutoFilter = false;
  }
}

void TsxExcelExport::Notification(const void* component, TOperation operation) {
  if (operation == opRemove && component != nullptr && component == FDataset) FDataset = nullptr;
}

// Row and column rules.

void TsxExcelExport::ApplyHeaderRule() {
  const int count = static_cast<int>(FHeaderText.size());
  if (count == 0) FIntBeginRowHeader = 1;
  if (FIntBeginRowTitles < FIntBeginRowHeader + count)
    SetBeginRowTitles(FIntBeginRowHeader + count);
}

void TsxExcelExport::SetHeaderText(const TStrings& lines) {
  FHeaderText = lines;
  ApplyHeaderRule();
}

void TsxExcelExport::SetHeaderText() {
  ApplyHeaderRule();
}

void TsxExcelExport::SetBeginRowHeader(std::int32_t v) {
  const int count = static_cast<int>(FHeaderText.size());
  if (count == 0) {
    FIntBeginRowHeader = v;
    return;
  }
  FIntBeginRowHeader = v <= 0 ? 1 : v;
  if (FIntBeginRowTitles < FIntBeginRowHeader + count)
    SetBeginRowTitles(FIntBeginRowHeader + count);
}

void TsxExcelExport::SetBeginRowTitles(std::int32_t v) {
  const int count = static_cast<int>(FHeaderText.size());
  FIntBeginRowTitles = std::max(v, FIntBeginRowHeader + count);
  if (FIntBeginRowTitles >= FIntBeginRowData) SetBeginRowData(FIntBeginRowTitles + 1);
}

void TsxExcelExport::SetBeginRowData(std::int32_t v) {
  FIntBeginRowData = std::max(v, FIntBeginRowTitles);
  if (FIntBeginRowData == FIntBeginRowTitles && FBlnShowTitles)
    FIntBeginRowData = FIntBeginRowTitles + 1;
}

void TsxExcelExport::SetShowTitles(bool v) {
  FBlnShowTitles = v;
  if (v && FIntBeginRowData == FIntBeginRowTitles) ++FIntBeginRowData;
}

void TsxExcelExport::SetSummaryFields(const TStrings& lines) {
  FSummaryFields = lines;
  for (auto& line : FSummaryFields)
    std::transform(line.begin(), line.end(), line.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
}

// Session.

std::int32_t TsxExcelExport::ExcelVersion() {
  static const std::pair<const char*, int> kKeys[] = {
      {"\\Software\\Microsoft\\Office\\16.0\\Excel", 16},
      {"\\Software\\Microsoft\\Office\\15.0\\Excel", 15},
      {"\\Software\\Microsoft\\Office\\14.0\\Excel", 14},
      {"\\Software\\Microsoft\\Office\\12.0\\Excel", 12},
      {"\\Software\\Microsoft\\Office\\11.0\\Excel", 11},
      {"\\Software\\Microsoft\\Office\\10.0\\Excel", 10},
      {"\\Software\\Microsoft\\Office\\9.0\\Excel", 9},
      {"\\Software\\Microsoft\\Office\\8.0\\Excel", 8},
  };
  for (const auto& [key, version] : kKeys) {
    bool exists = false;
    try {
      exists = FSystem->CurrentUserKeyExists(key);
    } catch (const std::exception&) {
      exists = false;  // an unreadable key counts as absent
    }
    if (exists) return FIntExcelVersion = version;
  }
  // Excel writes the user's key when it first runs; before that only its registered class
  // tells that it is installed.
  std::string current;
  try {
    current = FSystem->ClassCurrentVersion(kExcelClass);
  } catch (const std::exception&) {
    current.clear();
  }
  return FIntExcelVersion = VersionOfClass(current);
}

bool TsxExcelExport::UseWorksheetNamed(const std::string& name) {
  const int index = GetIndexOfWorksheet(name);
  if (index == -1) {
    AddWorksheetAsCurrent();
    return false;
  }
  ExcelWorkSheet = ExcelWorkbook->Worksheets()->Item(index);
  return true;
}

void TsxExcelExport::AddWorksheetAsCurrent() {
  ExcelWorkSheet = ExcelWorkbook->Worksheets()->Add();
}

void TsxExcelExport::Connect() {
  if (FBlnConnected) return;
  fLCID = 1024;
  std::string target = FStrWorksheetName;
  if (target.empty() && FDataPipe == dpDataSet && FDataset) target = FDataset->Name();

  bool fresh = true;
  switch (FConnectTo) {
    case ctNewExcel:
      ExcelApplication = FSystem->StartNewInstance();
      if (!IsBlank(FStrFilename)) {
        if (!std::filesystem::exists(Utf8Path(FStrFilename))) throw EFileNotExists(FStrFilename);
        ExcelWorkbook = ExcelApplication->Workbooks()->Open(FStrFilename);
        fresh = !UseWorksheetNamed(target);
      } else {
        ExcelWorkbook = ExcelApplication->Workbooks()->Add(kTemplateOneSheet);
        ExcelWorkSheet = ExcelWorkbook->Worksheets()->Item(1);
      }
      break;
    case ctNewWorkbook:
      ExcelApplication = FSystem->AttachOrStartInstance();
      ExcelWorkbook = ExcelApplication->Workbooks()->Add(kTemplateOneSheet);
      ExcelWorkSheet = ExcelWorkbook->Worksheets()->Item(1);
      break;
    case ctNewWorksheet: {
      ExcelApplication = FSystem->AttachOrStartInstance();
      if (ExcelApplication->Workbooks()->Count() == 0) throw ENoActiveWorkbook();
      ExcelWorkbook = ExcelApplication->ActiveWorkbook();
      if (!ExcelWorkbook) throw ENoActiveWorkbook();
      fresh = !UseWorksheetNamed(target);
      break;
    }
  }
  ExcelApplication->SetScreenUpdating(false);
  if (fresh && !target.empty()) ExcelWorkSheet->SetName(target);
  FBlnConnected = true;
}

void TsxExcelExport::Disconnect(bool BlnQuit) {
  bool quit = false;
  if (!FBlnExcelVisible && ExcelApplication) {
    ExcelApplication->SetDisplayAlerts(false);
    ExcelApplication->Quit();
    quit = true;
  }
  ExcelWorkSheet.reset();
  ExcelWorkbook.reset();
  // An application that has quit answers no more calls.
  if (BlnQuit && !quit && ExcelApplication) {
    ExcelApplication->SetDisplayAlerts(false);
    ExcelApplication->Quit();
  }
  ExcelApplication.reset();
  FBlnConnected = false;
}

std::int32_t TsxExcelExport::GetIndexOfWorksheet(const std::string& name) {
  if (!ExcelWorkbook) return -1;
  const auto sheets = ExcelWorkbook->Worksheets();
  for (int i = 1; i <= sheets->Count(); ++i)
    if (sheets->Item(i)->Name() == name) return i;
  return -1;
}

void TsxExcelExport::SetWorksheetName(const std::string& name) {
  FStrWorksheetName = name;
  if (!FBlnConnected) return;
  const int index = GetIndexOfWorksheet(name);
  if (index == -1)
    AddWorksheetAsCurrent();
  else
    ExcelWorkSheet = ExcelWorkbook->Worksheets()->Item(index);
  ExcelWorkSheet->SetName(FStrWorksheetName);
}

void TsxExcelExport::SaveAs(const std::string& path, TFileFormat format) {
  if (!ExcelApplication || ExcelApplication->Workbooks()->Count() == 0 || !ExcelWorkSheet)
    throw ENoActiveWorkbook();
  ExcelApplication->SetDisplayAlerts(false);
  const int v = FIntExcelVersion;
  switch (format) {
    case ffDefault:
      ExcelWorkSheet->SaveAs(path);
      break;
    case ffXLSX:
      if (v < 12) throw ENotSupported();
      ExcelWorkSheet->SaveAs(path, 51);
      break;
    case ffXLS:
      if (v < 12)
        ExcelWorkSheet->SaveAs(path);
      else
        ExcelWorkSheet->SaveAs(path, 56);
      break;
    case ffHTM:
      if (v < 9) throw ENotSupported();
      ExcelWorkSheet->SaveAs(path, 44);
      break;
    case ffCSV:
      ExcelWorkSheet->SaveAs(path, 6);
      break;
    case ffXL97:
      if (v > 11) throw ENotSupported();
      ExcelWorkSheet->SaveAs(path, 43);
      break;
    case ffXML:
      if (v < 10) throw ENotSupported();
      ExcelWorkSheet->SaveAs(path, 46);
      break;
  }
}

void TsxExcelExport::PrintPreview(bool BlnPrintGridLines) {
  if (!ExcelApplication || ExcelApplication->Workbooks()->Count() == 0 || !ExcelWorkSheet)
    throw ENoActiveWorkbook();
  const auto setup = ExcelWorkSheet->PageSetup();
  setup->SetPrintGridlines(BlnPrintGridLines);
  setup->SetCenterHeader(ExcelWorkSheet->Name());
  ExcelApplication->SetScreenUpdating(true);
  ExcelApplication->SetVisible(true);
  FBlnExcelVisible = true;
  ExcelWorkSheet->PrintPreview();
}

std::int32_t TsxExcelExport::FindFirstEmptyRow(const std::string& column, std::int32_t startRow) {
  if (!ExcelWorkSheet) throw ENoActiveWorkbook();
  // Rows past the sheet's last are empty by definition; stopping there keeps a full column
  // from looping for ever.
  int row = std::max(startRow, 1);
  for (; row <= FRecExcelRestrictions.MaxNumberOfRows; ++row) {
    const std::string cell = column + std::to_string(row);
    const TVariant v = ExcelWorkSheet->Range(cell, cell)->Value2();
    if (VarIsEmpty(v) || VarToStr(v).empty()) break;
  }
  return row;
}

std::int32_t TsxExcelExport::FindFirstEmptyRow(std::int32_t column, std::int32_t startRow) {
  return FindFirstEmptyRow(GetColumnCharacters(column), startRow);
}

bool TsxExcelExport::IsExcelAppActive() {
  return FSystem->FindTopLevelWindow("XLMAIN") != 0;
}

void TsxExcelExport::CloseAllExcelApps() {
  TSheetSystem::TWindow previous = 0;
  for (;;) {
    const TSheetSystem::TWindow window = FSystem->FindTopLevelWindow("XLMAIN");
    if (window == 0 || window == previous) break;
    FSystem->SendCloseAndWait(window);
    previous = window;
  }
}
