// quarrow2excel: the window that finds a Quarrow tester, reads its archive and exports it.
#include "program.h"
#include "text/string_table.h"
#include "ui/qt/qt_binding.h"

int main(int argc, char** argv) {
  // One window a desktop: a second start brings the first forward and ends.
  UseUserLanguage();
  TDesktopClaim claim = ClaimDesktop(kWindowProgram);
  if (!claim.Held) return ReportRunningWindow(claim.Raised);
  qtui::TApp app(argc, argv);
  app.UseLanguage(Strings().Language());
  qtui::TFactory factory(app);
  return RunWindow(app, factory, {.Claim = std::move(claim.Held)});
}
