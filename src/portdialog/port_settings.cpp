#include "port_settings.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "text/string_table.h"

namespace {

// The rates a Linux port takes; a Windows driver takes them too.
constexpr std::array<std::uint32_t, 14> kBaudRates = {
    110, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
constexpr std::uint8_t kFirstByteSize = 5, kLastByteSize = 8;

std::vector<std::string> BaudItems() {
  std::vector<std::string> items;
  for (const std::uint32_t b : kBaudRates) items.push_back(std::to_string(b));
  return items;
}

std::vector<std::string> ByteSizeItems() {
  std::vector<std::string> items;
  for (int b = kFirstByteSize; b <= kLastByteSize; ++b) items.push_back(std::to_string(b));
  return items;
}

// The index of value in a list of count values starting at first, or -1.
int IndexIn(unsigned value, unsigned first, unsigned count) {
  return value >= first && value < first + count ? static_cast<int>(value - first) : -1;
}

constexpr int kRow = 34, kTop = 12, kLabelLeft = 12, kLabelWidth = 204, kComboLeft = 220,
              kComboWidth = 140, kHeight = 26;

TElementSpec LabelAt(const char* name, int row, TS text) {
  return {.Name = name,
          .Bounds = {kLabelLeft, kTop + row * kRow, kLabelWidth, kHeight},
          .Caption = Str(text),
          .Layout = tlCenter};
}

TElementSpec ComboAt(const char* name, int row, std::vector<std::string> items) {
  return {.Name = name,
          .Bounds = {kComboLeft, kTop + row * kRow, kComboWidth, kHeight},
          .Items = std::move(items),
          .ItemHeight = 20};
}

}  // namespace

TForm_PortSettings::TForm_PortSettings(TElementFactory& factory, TForm* owner) {
  Form = factory.CreateForm({.Name = "Form_PortSettings",
                             .ClientWidth = 372,
                             .ClientHeight = 228,
                             .BorderStyle = bsDialog,
                             .Position = owner ? poOwnerFormCenter : poScreenCenter},
                            owner);
  TForm& f = *Form;
  L_BaudRate = factory.CreateLabel(f, nullptr, LabelAt("L_BaudRate", 0, TS::BitsPerSecond));
  CB_BaudRate = factory.CreateComboBox(f, nullptr, ComboAt("CB_BaudRate", 0, BaudItems()));
  L_ByteSize = factory.CreateLabel(f, nullptr, LabelAt("L_ByteSize", 1, TS::DataBits));
  CB_ByteSize = factory.CreateComboBox(f, nullptr, ComboAt("CB_ByteSize", 1, ByteSizeItems()));
  L_Parity = factory.CreateLabel(f, nullptr, LabelAt("L_Parity", 2, TS::ParityLabel));
  CB_Parity =
      factory.CreateComboBox(f, nullptr,
                             ComboAt("CB_Parity", 2,
                                     {Str(TS::ParityNone), Str(TS::ParityOdd), Str(TS::ParityEven),
                                      Str(TS::ParityMark), Str(TS::ParitySpace)}));
  L_StopBits = factory.CreateLabel(f, nullptr, LabelAt("L_StopBits", 3, TS::StopBitsLabel));
  CB_StopBits = factory.CreateComboBox(
      f, nullptr, ComboAt("CB_StopBits", 3, {"1", Str(TS::StopBitsOneAndHalf), "2"}));
  L_Flow = factory.CreateLabel(f, nullptr, LabelAt("L_Flow", 4, TS::FlowControlLabel));
  CB_Flow = factory.CreateComboBox(
      f, nullptr,
      ComboAt("CB_Flow", 4, {Str(TS::FlowNone), Str(TS::FlowXonXoff), Str(TS::FlowHardware)}));
  B_Ok = factory.CreateButton(
      f, nullptr,
      {.Name = "B_Ok", .Bounds = {186, 186, 85, 30}, .Caption = Str(TS::Ok), .Default = true});
  B_Cancel = factory.CreateButton(f, nullptr,
                                  {.Name = "B_Cancel",
                                   .Bounds = {275, 186, 85, 30},
                                   .Caption = Str(TS::Cancel),
                                   .Cancel = true});
  B_Ok->OnClick = [this](TObject*) { Form->SetModalResult(mrOk); };
  B_Cancel->OnClick = [this](TObject*) { Form->SetModalResult(mrCancel); };
}

void TForm_PortSettings::ShowDcb(const DCB& dcb) {
  const auto baud = std::find(kBaudRates.begin(), kBaudRates.end(), dcb.BaudRate);
  CB_BaudRate->SetItemIndex(
      baud == kBaudRates.end() ? -1 : static_cast<int>(std::distance(kBaudRates.begin(), baud)));
  CB_ByteSize->SetItemIndex(IndexIn(dcb.ByteSize, kFirstByteSize, ByteSizeItems().size()));
  CB_Parity->SetItemIndex(IndexIn(dcb.Parity, NOPARITY, SPACEPARITY + 1));
  CB_StopBits->SetItemIndex(IndexIn(dcb.StopBits, ONESTOPBIT, TWOSTOPBITS + 1));
  // An RS485 line shows as no flow control; it stays RS485 unless another choice is made.
  shownFlow_ = StreamProtocolOf(dcb.Flags);
  CB_Flow->SetItemIndex(shownFlow_);
}

void TForm_PortSettings::ApplyTo(DCB& dcb) const {
  if (const int i = CB_BaudRate->ItemIndex(); i >= 0) dcb.BaudRate = kBaudRates.at(i);
  if (const int i = CB_ByteSize->ItemIndex(); i >= 0)
    dcb.ByteSize = static_cast<std::uint8_t>(kFirstByteSize + i);
  if (const int i = CB_Parity->ItemIndex(); i >= 0) {
    dcb.Parity = static_cast<std::uint8_t>(i);
    // The parity check goes with the parity, as the component's own Parity sets it.
    dcb.Flags = i == NOPARITY ? dcb.Flags & ~fParity : dcb.Flags | fParity;
  }
  if (const int i = CB_StopBits->ItemIndex(); i >= 0) dcb.StopBits = static_cast<std::uint8_t>(i);
  if (const int i = CB_Flow->ItemIndex(); i >= 0 && i != shownFlow_)
    dcb.Flags = FlowControlFlags(dcb.Flags, static_cast<TStreamProtocol>(i), false);
}

bool TForm_PortSettings::Execute(const std::string& comName, COMMCONFIG& cfg) {
  Form->SetCaption(Str(TS::PortSettingsCaption, {comName}));
  ShowDcb(cfg.dcb);
  if (Form->ShowModal() != mrOk) return false;
  ApplyTo(cfg.dcb);
  return true;
}

std::function<bool(const std::string& name, COMMCONFIG& cfg)> PortSettingsDialogOn(
    TElementFactory& factory) {
  return [&factory](const std::string& name, COMMCONFIG& cfg) {
    TForm_PortSettings dialog(factory, factory.Application().MainForm());
    return dialog.Execute(name, cfg);
  };
}
