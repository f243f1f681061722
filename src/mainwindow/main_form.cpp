#include "main_form.h"

#include <filesystem>

#include "base/utf8_path.h"
#include "mainwindow/absorb.h"
#include "mainwindow/presentation.h"
#include "platform/desktop/device_watch.h"
#include "platform/desktop/shell.h"
#include "platform/desktop/virtual_ports.h"
#include "platform/language/locale_settings.h"
#include "platform/process/main_thread.h"

bool LeavingNeedsQuestion(bool exported, bool kept) {
  return !exported && !kept;
}

TForm_Main::TForm_Main(TElementFactory& factory, TMainServices services)
    : factory_(factory), app_(factory.Application()), services_(std::move(services)) {
  if (!services_.Registry) services_.Registry = CreateRegistry;
  if (!services_.Format)
    services_.Format = std::make_shared<FormatSettings>(LoadSystemFormatSettings());
  if (!services_.SpecialPath) services_.SpecialPath = ::GetSpecialPath;
  if (!services_.Now) services_.Now = ::Now;
  CreateElements(factory);
  ConfigureComm();
  ConfigureExport();
  Form_Info = std::make_unique<TForm_Info>(factory, Form.get(), services_.Sound);
  Form_Question = std::make_unique<TForm_Question>(factory, Form.get());
  FormCreate(Form.get());
  if (services_.WatchDevices) StartDeviceWatch();
}

TForm_Main::~TForm_Main() {
  *alive_ = false;
  watch_.reset();
  Absorb([&] { Timer_CheckWork->SetEnabled(false); });
  Absorb([&] { Timer_DeviceRefresh->SetEnabled(false); });
  // The component's threads end with the port, before the window they report to goes.
  Absorb([&] { srComm1->SetActive(false); });
  srComm1.reset();
}

void TForm_Main::CreateElements(TElementFactory& f) {
  Form = f.CreateForm({.Name = "Form_Main",
                       .Caption = Str(TS::Caption),
                       .ClientWidth = 616,
                       .ClientHeight = 194,
                       .BorderStyle = bsSingle,
                       .Position = poScreenCenter},
                      nullptr);
  TForm& form = *Form;
  P_General = f.CreatePanel(form, nullptr,
                            {.Name = "P_General", .Bounds = {0, 0, 616, 114}, .Align = alTop});
  L_State = f.CreateLabel(form, P_General,
                          {.Name = "L_State",
                           .Bounds = {8, 8, 600, 45},
                           .Anchors = akLeft | akTop | akRight,
                           .Alignment = taCenter,
                           .Layout = tlCenter,
                           .WordWrap = true});
  L_Notice = f.CreateLabel(form, P_General,
                           {.Name = "L_Notice",
                            .Bounds = {8, 55, 600, 57},
                            .Anchors = akLeft | akTop | akRight,
                            .Visible = false,
                            .Alignment = taCenter,
                            .Layout = tlCenter,
                            .WordWrap = true});
  B_Excel = f.CreateButton(
      form, P_General,
      {.Name = "B_Excel", .Bounds = {88, 59, 180, 45}, .Caption = Str(TS::ExportToExcel)});
  B_Text = f.CreateButton(
      form, P_General,
      {.Name = "B_Text", .Bounds = {346, 59, 180, 45}, .Caption = Str(TS::SaveAsText)});
  PB_Data = f.CreateProgressBar(form, P_General, {.Name = "PB_Data", .Bounds = {8, 63, 600, 32}});
  ChB_Singles = f.CreateCheckBox(
      form, nullptr,
      {.Name = "ChB_Singles", .Bounds = {8, 120, 292, 31}, .Caption = Str(TS::IncludeSingles)});
  L_Unit = f.CreateLabel(form, nullptr,
                         {.Name = "L_Unit",
                          .Bounds = {8, 163, 29, 19},
                          .Anchors = akLeft | akBottom,
                          .Caption = Str(TS::UnitLabel),
                          .AutoSize = true});
  std::vector<std::string> units;
  for (int u = 0; u < UnitCount; ++u) units.push_back(UnitComboText(u));
  CB_Unit = f.CreateComboBox(form, nullptr,
                             {.Name = "CB_Unit",
                              .Bounds = {57, 160, 125, 26},
                              .Items = units,
                              .ItemIndex = 0,
                              .ItemHeight = 20});
  // A word for the unit longer than the design's moves the list right, never under the label.
  const TBounds label = L_Unit->Bounds();
  if (TBounds list = CB_Unit->Bounds(); label.Left + label.Width + 8 > list.Left) {
    list.Left = label.Left + label.Width + 8;
    CB_Unit->SetBounds(list);
  }
  B_Earlier = f.CreateButton(form, nullptr,
                             {.Name = "B_Earlier",
                              .Bounds = {304, 120, 190, 30},
                              .Anchors = akRight | akBottom,
                              .Caption = Str(TS::EarlierReadings)});
  B_Next = f.CreateButton(form, nullptr,
                          {.Name = "B_Next",
                           .Bounds = {312, 156, 182, 30},
                           .Anchors = akRight | akBottom,
                           .Caption = Str(TS::ReadNext)});
  B_Exit = f.CreateButton(form, nullptr,
                          {.Name = "B_Exit",
                           .Bounds = {508, 156, 100, 30},
                           .Anchors = akRight | akBottom,
                           .Caption = Str(TS::Exit)});
  Timer_CheckWork =
      f.CreateTimer(form, {.Name = "Timer_CheckWork", .Enabled = false, .Interval = 3000});
  Timer_DeviceRefresh =
      f.CreateTimer(form, {.Name = "Timer_DeviceRefresh", .Enabled = false, .Interval = 3000});
  SaveAsText = f.CreateSaveDialog(
      form, {.Name = "SaveAsText",
             .DefaultExt = "txt",
             .Filter = Str(TS::TextFilesFilter),
             .Options = ofOverwritePrompt | ofPathMustExist | ofHideReadOnly | ofEnableSizing});

  Form->OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
  P_General->OnClick = [this](TObject* s) { P_GeneralClick(s); };
  B_Excel->OnClick = [this](TObject* s) { B_ExcelClick(s); };
  B_Text->OnClick = [this](TObject* s) { B_TextClick(s); };
  ChB_Singles->OnClick = [this](TObject* s) { ChB_SinglesClick(s); };
  CB_Unit->OnChange = [this](TObject* s) { CB_UnitChange(s); };
  B_Earlier->OnClick = [this](TObject* s) { B_EarlierClick(s); };
  B_Next->OnClick = [this](TObject* s) { B_NextClick(s); };
  B_Exit->OnClick = [this](TObject* s) { B_ExitClick(s); };
  Timer_CheckWork->OnTimer = [this](TObject* s) { Timer_CheckWorkTimer(s); };
  Timer_DeviceRefresh->OnTimer = [this](TObject* s) { Timer_DeviceRefreshTimer(s); };
  app_.SetMainForm(Form.get());
}

void TForm_Main::ConfigureComm() {
  srComm1 = std::make_unique<TsrComm>();
  TsrComm& c = *srComm1;
  // The design-time values go in as a form reader puts them: stored first, applied at the end.
  c.BeginLoading();
  if (services_.SerialApi) c.SetSerialApi(services_.SerialApi);
  if (services_.Devices) c.SetDeviceDatabase(services_.Devices);
  c.SetRegistryFactory(services_.Registry);
  c.SetBaudRate(9600);
  c.SetParity(pNone);
  c.SetStopBits(sbOne);
  c.SetByteSize(8);
  c.SetComPortNo(1);
  c.SetComPort(cpCOM1);
  c.SetTraceStates(0);
  c.SetEventChar('\0');
  c.SetStreamProtocol(spNone);
  c.SetBufferInSize(8192);
  c.SetBufferOutSize(8192);
  c.SetTimeoutRead(0);
  c.SetTimeoutWrite(0);
  c.SetRS485Mode(false);
  // Only adapters that are plugged in: Windows keeps a port for every one that ever was.
  c.SetEnumPorts(epFullPresent);
  c.SetUseMainThread(true);
  c.ProcessMessages = [this] { app_.ProcessMessages(); };
  c.OnAfterReceive = [this](TObject* com, const std::uint8_t* buffer, std::uint32_t received) {
    srComm1AfterReceive(com, buffer, received);
  };
  c.OnFatalError = [this](TObject* s, std::uint32_t code, std::uint32_t detail,
                          const std::string& msg,
                          bool& raise) { srComm1FatalError(s, code, detail, msg, raise); };
  c.Loaded();
}

void TForm_Main::StartDeviceWatch() {
  try {
    std::weak_ptr<bool> alive = alive_;
    watch_ = std::make_unique<TDeviceWatch>(
        [this, alive] {
          if (auto* loop = TMainThread::Current())
            loop->Post([this, alive] {
              if (auto a = alive.lock(); a && *a) WMDeviceChange();
            });
        },
        "/dev", VirtualPortsFolder());
  } catch (...) {
    // Without a watcher the window still reads a tester that is present at a scan.
  }
}

// ---- settings ---------------------------------------------------------------------------------

std::string TForm_Main::GetSpecialPath(int CSIDL) {
  return services_.SpecialPath(CSIDL);
}

std::int32_t TForm_Main::ReadRegInt(const std::string& Name, std::int32_t Default) {
  try {
    if (reg_->ValueExists(Name)) return reg_->ReadInteger(Name);
    reg_->WriteInteger(Name, Default);
  } catch (...) {
    // A value of another type or a store that fails: the default.
  }
  return Default;
}

bool TForm_Main::ReadRegBool(const std::string& Name, bool Default) {
  if (reg_->ValueExists(Name)) return reg_->ReadBool(Name);
  reg_->WriteBool(Name, Default);
  return Default;
}

std::string TForm_Main::ReadRegStr(const std::string& Name, const std::string& Default) {
  if (reg_->ValueExists(Name)) return reg_->ReadString(Name);
  reg_->WriteString(Name, Default);
  return Default;
}

void TForm_Main::TellDamagedStore(const std::filesystem::path& keptAs) {
  TMainThread* loop = TMainThread::Current();
  if (keptAs.empty() || !loop) return;
  // Once the window shows, not from within its creation.
  std::weak_ptr<bool> alive = alive_;
  loop->Post([this, alive, text = Str(TS::SettingsSetAside, {PathUtf8(keptAs)})] {
    if (auto a = alive.lock(); a && *a) ShowInfo(text, Str(TS::Information), "SystemDefault");
  });
}

void TForm_Main::WriteSetting(const std::function<void(TRegistry&)>& write) {
  if (reg_) Absorb([&] { write(*reg_); });
}

void TForm_Main::FormCreate(TObject*) {
  Absorb([&] { srComm1->SetActive(false); });
  try {
    DefPath = GetSpecialPath(CSIDL_PERSONAL);
  } catch (...) {
    std::error_code ec;
    DefPath = PathUtf8(std::filesystem::current_path(ec));
  }
  Singles = true;
  Unit = 0;
  try {
    reg_ = services_.Registry();
    reg_->SetRootKey(TRootKey::CurrentUser);
    if (!reg_->KeyExists(SettingsKey)) reg_->CreateKey(SettingsKey);
    if (!reg_->OpenKey(SettingsKey, false)) throw ERegistryException("settings key not open");
    Singles = ReadRegBool("Singles", true);
    Unit = ReadRegInt("Unit", 0);
    DefPath = ReadRegStr("DefPath", DefPath);
    DefFilter = ReadRegInt("DefFilter", FilterText);
  } catch (...) {
    // An unreadable store: the settings not read yet keep their defaults.
  }
  if (reg_) TellDamagedStore(reg_->DamagedStoreKeptAs());
  // Only the four units exist; anything else stored is shown and used as MPa.
  if (Unit != NormalizeUnit(Unit)) Unit = 0;
  Absorb([&] { ChB_Singles->SetChecked(Singles); });
  Absorb([&] { CB_Unit->SetItemIndex(Unit); });
  DefFilter = NormalizeFilterIndex(DefFilter);
  SaveAsText->SetInitialDir(DefPath);
  SaveAsText->SetFilterIndex(DefFilter);
  SetStateWait();
}

void TForm_Main::FormClose(TObject*, TCloseAction& Action) {
  if (!MayLeaveArchive()) {
    Action = caNone;
    return;
  }
  // Each step runs even when the one before fails: the port must close whatever the store does.
  WriteSetting([&](TRegistry& r) { r.WriteString("DefPath", DefPath); });
  Absorb([&] { reg_.reset(); });
  Absorb([&] { Timer_CheckWork->SetEnabled(false); });
  Absorb([&] { Timer_DeviceRefresh->SetEnabled(false); });
  Absorb([&] { srComm1->SetActive(false); });
}

void TForm_Main::CB_UnitChange(TObject*) {
  Unit = CB_Unit->ItemIndex();
  WriteSetting([&](TRegistry& r) { r.WriteInteger("Unit", Unit); });
}

void TForm_Main::ChB_SinglesClick(TObject*) {
  Singles = ChB_Singles->Checked();
  WriteSetting([&](TRegistry& r) { r.WriteBool("Singles", Singles); });
}

// ---- states -----------------------------------------------------------------------------------

void TForm_Main::SetStateWait() {
  Absorb([&] { srComm1->SetActive(false); });
  read_at_taken_ = false;
  PB_Data->SetVisible(false);
  PB_Data->SetPosition(0);
  ChB_Singles->SetEnabled(true);
  CB_Unit->SetEnabled(true);
  B_Exit->SetEnabled(true);
  B_Excel->SetVisible(false);
  B_Text->SetVisible(false);
  B_Next->SetVisible(false);
  B_Earlier->SetVisible(true);
  kept_.reset();
  earlierAt_.reset();
  L_State->SetCaption(Str(TS::WaitingForDevice));
  ChB_Singles->SetVisible(false);
  L_Unit->SetVisible(false);
  CB_Unit->SetVisible(false);
  ClearCom();
  ClearDev();
  ArchiveExported = false;
  Pending = ChIdle;
  SessionPhase = phSearching;
  GetAllCom();
}

void TForm_Main::SetStateDataReady() {
  Absorb([&] { srComm1->SetActive(false); });
  ChB_Singles->SetEnabled(true);
  CB_Unit->SetEnabled(true);
  PB_Data->SetVisible(false);
  B_Exit->SetEnabled(true);
  if (Archive.RecCount() == 0) {
    SetStateWait();
    return;
  }
  if (!read_at_taken_) {
    ReadAt = services_.Now();
    read_at_taken_ = true;
  }
  ChB_Singles->SetVisible(true);
  L_Unit->SetVisible(true);
  CB_Unit->SetVisible(true);
  L_State->SetCaption((earlierAt_ ? Str(TS::EarlierReadingOf, {DateTimeText(*earlierAt_, Format()),
                                                               std::to_string(Archive.RecCount())})
                                  : StrN(TS::RecordsReceived, Archive.RecCount())) +
                      "\r\n" + Str(TS::SelectUnitAndSave));
  B_Excel->SetVisible(true);
  bool installed = false;
  if (sxExcelExport1) Absorb([&] { installed = sxExcelExport1->ExcelVersion() > 0; });
  B_Excel->SetEnabled(installed);
  B_Text->SetVisible(true);
  B_Next->SetVisible(true);
  B_Earlier->SetVisible(true);
  // Return must never meet "Exit" first: it would drop the archive.
  (installed ? B_Excel : B_Text)->SetFocus();
  std::vector<std::string> told;
  told.swap(afterReady_);
  for (const std::string& text : told) ShowInfo(text, Str(TS::Information), "SystemDefault");
}

void TForm_Main::SetStateExport() {
  B_Exit->SetEnabled(false);
  L_State->SetCaption(Str(TS::ExportInProgress));
  B_Excel->SetVisible(false);
  B_Text->SetVisible(false);
  B_Next->SetVisible(false);
  B_Earlier->SetVisible(false);
  ChB_Singles->SetEnabled(false);
  CB_Unit->SetEnabled(false);
  PB_Data->SetPosition(0);
  PB_Data->SetMin(0);
  PB_Data->SetMax(100);
  PB_Data->SetVisible(true);
}

void TForm_Main::ShowInfo(const std::string& text, const std::string& wcaption,
                          const std::string& sound) {
  Form_Info->info_sound = sound;
  Form_Info->info_caption = wcaption;
  Form_Info->info_text = text;
  Form_Info->Form->ShowModal();
}

bool TForm_Main::MayLeaveArchive() {
  if (SessionPhase != phComplete || Archive.RecCount() == 0) return true;
  if (!LeavingNeedsQuestion(ArchiveExported, kept_.has_value())) {
    // Kept but never exported: the search says where it went instead of asking.
    if (!ArchiveExported) TellNotice(notice_.LastKept());
    return true;
  }
  return Form_Question->Ask(Str(TS::LeaveUnsavedArchive), Str(TS::Caption));
}

void TForm_Main::B_ExitClick(TObject*) {
  if (!MayLeaveArchive()) return;
  SetStateWait();
  SessionPhase = phStopped;
  app_.Terminate();
}

void TForm_Main::P_GeneralClick(TObject*) {}

void TForm_Main::SendCommand(char ch) {
  srComm1->SendChar(static_cast<std::uint8_t>(ch));
}

std::string TForm_Main::LinkPort() {
  return srComm1->ComName();
}
