// On Windows the window receives WM_DEVICECHANGE for every serial device that comes or goes, so
// there is nothing to watch here: the watcher only creates the virtual-ports folder.
#include <system_error>

#include "platform/desktop/device_watch.h"

struct TDeviceWatch::TImpl {};

TDeviceWatch::TDeviceWatch(TCallback /*on_change*/, const std::filesystem::path& /*dev_folder*/,
                           const std::filesystem::path& ports_folder)
    : impl_(std::make_unique<TImpl>()) {
  std::error_code ec;
  std::filesystem::create_directories(ports_folder, ec);
}

TDeviceWatch::~TDeviceWatch() = default;
