// The port configuration dialog on Linux: the one the window program lent, if any.
#include <mutex>

#include "platform/serial/serial_posix_port.h"

namespace {
std::mutex g_dialogMutex;
TCommConfigDialog g_dialog;
}  // namespace

void SetCommConfigDialog(TCommConfigDialog dialog) {
  std::lock_guard lock(g_dialogMutex);
  g_dialog = std::move(dialog);
}

namespace posix_serial {

bool TPosixSerialApi::CommConfigDialogW(const std::string& name, COMMCONFIG& cfg) {
  TCommConfigDialog dialog;
  {
    std::lock_guard lock(g_dialogMutex);
    dialog = g_dialog;
  }
  if (!dialog) return Fail(ERROR_NOT_SUPPORTED);
  // The caller's record changes only when the user accepts.
  COMMCONFIG edited = cfg;
  if (!dialog(name, edited)) return Fail(ERROR_CANCELLED);
  cfg = edited;
  return true;
}

}  // namespace posix_serial
