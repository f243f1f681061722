// TForm_Main, the program's one window: it finds the tester among the serial ports, reads its
// archive over the link, shows the three states Wait, DataReady and Export, keeps the three
// settings and runs both exports. Written against the element factory, so the same window runs
// with the Qt binding, headless in tests and in the command-line reader. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/format_settings.h"
#include "history/reading_store.h"
#include "infodialog/info.h"
#include "infodialog/question.h"
#include "mainwindow/export_cursor.h"
#include "mainwindow/link.h"
#include "mainwindow/save_format.h"
#include "mainwindow/session_notice.h"
#include "platform/settings/registry.h"
#include "serial/srcomm.h"
#include "sheetexport/sx_excel_export.h"
#include "ui/elements.h"

class TDeviceWatch;

// An export to the spreadsheet that stopped part-way: what was written stays in the workbook,
// which the application keeps open. The message says so; Reason is the failure alone.
class EExportIncomplete : public Exception {
 public:
  explicit EExportIncomplete(const std::string& reason);
  std::string Reason;
};

// Whether leaving a received archive (Exit, "Read next", closing the window) asks first: only
// when it was neither saved nor exported and is not kept elsewhere either (the window then says
// where it is instead).
bool LeavingNeedsQuestion(bool exported, bool kept);

// What the window takes from the system; every member left empty gets the system's own.
struct TMainServices {
  std::function<std::unique_ptr<TRegistry>()> Registry;  // CreateRegistry
  std::shared_ptr<TsrDeviceDatabase> Devices;            // SystemDeviceDatabase
  std::shared_ptr<TSerialApi> SerialApi;                 // the system's serial API
  std::shared_ptr<TSheetSystem> Sheets;                  // none: "Export to Excel" stays disabled
  std::shared_ptr<FormatSettings> Format;                // LoadSystemFormatSettings
  TForm_Info::TSoundPlayer Sound;                        // PlaySystemSound
  std::function<std::string(int csidl)> SpecialPath;     // GetSpecialPath
  std::function<TDateTime()> Now;                        // Now
  // Watch the machine's tty devices and virtual ports, and rescan when they change.
  bool WatchDevices = false;
  // The store of earlier readings; empty: the user's own (readings.sqlite3 in UserDataFolder).
  std::string ReadingsFile;
  // Whether each complete reading is kept there (the reader's --no-store clears it).
  bool KeepReadings = true;
};

class TForm_Main : public TMainLink {
 public:
  static constexpr const char* SettingsKey = "\\Software\\VORNEX\\Quarrow2Excel\\1.0";
  static constexpr std::size_t MaxCandidates = 256;

  // Builds the window and its elements, then runs FormCreate (which starts the search).
  TForm_Main(TElementFactory& factory, TMainServices services = {});
  ~TForm_Main() override;
  TForm_Main(const TForm_Main&) = delete;
  TForm_Main& operator=(const TForm_Main&) = delete;

  std::unique_ptr<TForm> Form;
  TPanel* P_General;
  // Under the status line while waiting: a port that cannot be opened, a reading that broke off.
  TLabel* L_Notice;
  TButton* B_Excel;
  TButton* B_Text;
  TCheckBox* ChB_Singles;
  TLabel* L_Unit;
  TComboBox* CB_Unit;
  TButton* B_Earlier;
  TButton* B_Next;
  TButton* B_Exit;
  TSaveDialog* SaveAsText;
  std::unique_ptr<TsrComm> srComm1;
  std::unique_ptr<TsxExcelExport> sxExcelExport1;  // null without a spreadsheet system
  std::unique_ptr<TForm_Info> Form_Info;
  std::unique_ptr<TForm_Question> Form_Question;
  using TMainLink::L_State;
  using TMainLink::PB_Data;
  using TMainLink::Timer_CheckWork;
  using TMainLink::Timer_DeviceRefresh;

  // Settings.
  bool Singles = true;
  std::int32_t Unit = 0;
  std::string DefPath;
  // The save dialog's type chosen last (1 text, 2 PDF, 3 CSV, 4 all files).
  std::int32_t DefFilter = 1;
  // When the archive in memory was read; set as the reading completes.
  TDateTime ReadAt{};

  // Session.
  std::array<std::int32_t, MaxCandidates> Candidates{};
  std::uint32_t CandCount = 0;
  std::uint32_t CandIndex = 0;
  bool FastBaud = false;
  TExportCursor ExportCursor;
  // The archive of this reading was saved as text or exported whole.
  bool ArchiveExported = false;

  void FormCreate(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void SetStateWait() override;
  void SetStateDataReady() override;
  void SetStateExport();
  void ShowInfo(const std::string& text, const std::string& wcaption,
                const std::string& sound) override;
  std::int32_t ReadRegInt(const std::string& Name, std::int32_t Default);
  bool ReadRegBool(const std::string& Name, bool Default);
  std::string ReadRegStr(const std::string& Name, const std::string& Default);
  std::string GetSpecialPath(int CSIDL);

  void GetAllCom();
  void NextCom();
  void Timer_CheckWorkTimer(TObject* Sender);
  void Timer_DeviceRefreshTimer(TObject* Sender);
  void WMDeviceChange();
  void srComm1FatalError(TObject* Sender, std::uint32_t ErrorCode, std::uint32_t Detail,
                         const std::string& ErrorMsg, bool& RaiseException);

  void B_EarlierClick(TObject* Sender);
  void B_NextClick(TObject* Sender);
  void B_ExitClick(TObject* Sender);
  void P_GeneralClick(TObject* Sender);
  void CB_UnitChange(TObject* Sender);
  void ChB_SinglesClick(TObject* Sender);
  void B_TextClick(TObject* Sender);
  void B_ExcelClick(TObject* Sender);
  // Writes the archive as a PDF protocol or a CSV table to fileName, in the export state with
  // the progress bar; the window returns to data-ready whatever happens.
  void SaveArchive(TSaveFormat format, const std::string& fileName);
  std::optional<std::string> WriteSummary(TsxExcelExport& x);

  // The spreadsheet export's data pipe.
  void sxExcelExport1GetFieldCount(TsxExcelExport& Sender, int& IntFieldCount);
  void sxExcelExport1GetFieldVisible(TsxExcelExport& Sender, int IntFieldIndex,
                                     bool& BlnFieldVisible);
  void sxExcelExport1GetFieldName(TsxExcelExport& Sender, int IntFieldIndex,
                                  std::string& StrFieldName);
  void sxExcelExport1GetFieldDisplayName(TsxExcelExport& Sender, int IntFieldIndex,
                                         std::string& StrFieldDisplayName);
  void sxExcelExport1GetFieldDataSize(TsxExcelExport& Sender, int IntFieldIndex,
                                      int& IntFieldDataSize);
  void sxExcelExport1GetFieldDataType(TsxExcelExport& Sender, int IntFieldIndex,
                                      TFieldType& FieldDataType);
  void sxExcelExport1GetFieldDecSize(TsxExcelExport& Sender, int IntFieldIndex,
                                     int& IntFieldDecSize);
  void sxExcelExport1GotoFirstRecord(TsxExcelExport& Sender);
  void sxExcelExport1GotoNextRecord(TsxExcelExport& Sender);
  void sxExcelExport1GetEOF(TsxExcelExport& Sender, bool& BlnEOF);
  void sxExcelExport1GetFieldValue(TsxExcelExport& Sender, int IntFieldIndex, TVariant& VarValue);
  void sxExcelExport1ExportRecords(TsxExcelExport& Sender, int IntRecordNumber);

  // Runs after the export has written the workbook and before it is let go: the command-line
  // reader saves it to a file here.
  std::function<void(TsxExcelExport&)> OnWorkbookWritten;
  // Each new notice of the waiting state: a port that cannot be opened (once per port and
  // reason) and every reading that broke off. The command-line reader prints them.
  std::function<void(const std::string&)> OnNotice;

  // Loads earlier reading id into the window as if it had just been read: DataReady, with the
  // reading's time in the status. False, changing nothing, when the store has no such reading.
  // Throws EStoreError.
  bool OpenEarlierReading(std::int64_t id);
  // The store of earlier readings, opened at its first use. Throws EStoreError.
  TReadingStore& Readings();
  // Which earlier reading the archive in the window is kept as; none when it is not kept.
  std::optional<std::int64_t> KeptReading() const { return kept_; }
  // Each reading kept: its number and how many of its records no reading before held.
  std::function<void(std::int64_t id, std::uint32_t newRecords)> OnReadingKept;

  const FormatSettings& Format() const { return *services_.Format; }
  // The settings key, open from FormCreate to FormClose; null when it could not be opened.
  TRegistry* Reg() const { return reg_.get(); }

 protected:
  void SendCommand(char ch) override;
  std::string LinkPort() override;
  void KeepReading() override;

 private:
  void CreateElements(TElementFactory& factory);
  void ConfigureComm();
  void ConfigureExport();
  void StartDeviceWatch();
  void WriteSetting(const std::function<void(TRegistry&)>& write);
  // Tells the user, once the window runs, that a damaged settings store was kept aside there.
  void TellDamagedStore(const std::filesystem::path& keptAs);
  void TellNotice(const std::optional<std::string>& text);
  void ShowNotice();
  void ReadingBrokenOff();
  // True when nothing is lost by leaving the archive now, or the user agreed to lose it.
  bool MayLeaveArchive();
  void WriteArchive(TSaveFormat format, const std::string& fileName);
  TReadingInfo ReadingInfo();
  void TellStoreFault(const EStoreError& e);
  std::optional<std::string> MovedAsideText();

  TElementFactory& factory_;
  TApplication& app_;
  TMainServices services_;
  std::unique_ptr<TRegistry> reg_;
  std::unique_ptr<TDeviceWatch> watch_;
  TSessionNotice notice_;
  bool read_at_taken_ = false;
  std::unique_ptr<TReadingStore> readings_;
  std::optional<std::int64_t> kept_;
  std::optional<TDateTime> earlierAt_;   // the window shows an earlier reading of that time
  std::string storeFaultTold_;           // told once, until a reading is kept again
  std::vector<std::string> afterReady_;  // what the user hears once DataReady shows
  // Work posted by the device watcher checks it, so none runs after the window is gone.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
