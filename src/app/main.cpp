// quarrow2excel: the window that finds a Quarrow tester, reads its archive and exports it.
#include "platform/process/program_args.h"
#include "platform/serial/serial_api_posix.h"
#include "portdialog/port_settings.h"
#include "program.h"
#include "text/string_table.h"
#include "ui/qt/qt_binding.h"

int main(int argc, char** argv) {
  UseUserLanguage();
  if (const auto code = AnswerWindowOptions(ProgramArguments(argc, argv))) return *code;
  // One window a desktop: a second start brings the first forward and ends.
  TDesktopClaim claim = ClaimDesktop(kWindowProgram);
  if (!claim.Held) return ReportRunningWindow(claim.Raised);
  qtui::TApp app(argc, argv);
  app.UseLanguage(Strings().Language());
  qtui::TFactory factory(app);
  // The system has no port configuration dialog: a serial component's ConfigDialog shows ours.
  SetCommConfigDialog(PortSettingsDialogOn(factory));
  const int code = RunWindow(app, factory, {.Claim = std::move(claim.Held)});
  SetCommConfigDialog({});
  return code;
}
