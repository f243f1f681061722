// quarrow2excel: the window that finds a Quarrow tester, reads its archive and exports it.
#include "program.h"
#include "ui/qt/qt_binding.h"

int main(int argc, char** argv) {
  qtui::TApp app(argc, argv);
  qtui::TFactory factory(app);
  return RunWindow(app, factory);
}
