// quarrow2excel.exe: the window that finds a Quarrow tester, reads its archive and exports it,
// on the Win32 binding.
#include "platform/process/program_args.h"
#include "program.h"
#include "ui/win32/win32_binding.h"

int main(int argc, char** argv) {
  UseUserLanguage();
  if (const auto code = AnswerWindowOptions(ProgramArguments(argc, argv))) return *code;
  // One window a desktop: a second start activates the first one's window and ends.
  TDesktopClaim claim = ClaimDesktop(kWindowProgram);
  if (!claim.Held) return ReportRunningWindow(claim.Raised);
  win32ui::TApp app;
  win32ui::TFactory factory(app);
  return RunWindow(app, factory,
                   {.Claim = std::move(claim.Held),
                    .SystemHandle = [](TForm& form) { return win32ui::TFactory::Window(form); },
                    .Wire =
                        [](TForm_Main& form) {
                          // The system broadcasts WM_DEVICECHANGE to the window itself.
                          dynamic_cast<win32ui::TForm&>(*form.Form).OnDeviceChange = [&form] {
                            form.WMDeviceChange();
                          };
                        }});
}
