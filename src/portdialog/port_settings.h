// The port settings dialog of systems without one of their own (Linux): bits per second, data
// bits, parity, stop bits and flow control of a port's DCB, shown modally with "Ok" (Return) and
// "Cancel" (Escape). Built on the element factory, so it runs with every binding. Main thread
// only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "serial/srcomm.h"
#include "ui/elements.h"

class TForm_PortSettings : public TsrPortDialog {
 public:
  // owner: the window the dialog centres on (may be null).
  TForm_PortSettings(TElementFactory& factory, TForm* owner);

  // Shows cfg's line settings for the port; on "Ok" writes the edited ones into cfg.
  bool Execute(const std::string& comName, COMMCONFIG& cfg) override;

  // The choices for a DCB, and the DCB they make: a value the lists lack shows no choice and
  // stays as it was, and so does the flow control unless the user picks another.
  void ShowDcb(const DCB& dcb);
  void ApplyTo(DCB& dcb) const;

  std::unique_ptr<TForm> Form;
  TLabel *L_BaudRate, *L_ByteSize, *L_Parity, *L_StopBits, *L_Flow;
  TComboBox *CB_BaudRate, *CB_ByteSize, *CB_Parity, *CB_StopBits, *CB_Flow;
  TButton *B_Ok, *B_Cancel;

 private:
  int shownFlow_ = -1;  // the flow control the DCB had when shown
};

// A dialog for the serial API of a system that has none (SetCommConfigDialog): shows a
// TForm_PortSettings on the factory, centred on the application's main window.
std::function<bool(const std::string& name, COMMCONFIG& cfg)> PortSettingsDialogOn(
    TElementFactory& factory);
