// Watches for serial devices coming and going: the tty entries of the device folder and the
// virtual-ports folder. The callback runs on the watcher's own thread, once per burst of changes;
// the window hands it over to its main thread. Construction and destruction: one thread.
// On Windows it watches nothing and never calls back: WM_DEVICECHANGE reaches the window itself.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>

class TDeviceWatch {
 public:
  using TCallback = std::function<void()>;
  // Starts watching; the virtual-ports folder is created when missing. Throws EOSError when
  // the watch cannot be set up.
  TDeviceWatch(TCallback on_change, const std::filesystem::path& dev_folder,
               const std::filesystem::path& ports_folder);
  ~TDeviceWatch();  // stops the thread; no callback runs after it
  TDeviceWatch(const TDeviceWatch&) = delete;
  TDeviceWatch& operator=(const TDeviceWatch&) = delete;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};
