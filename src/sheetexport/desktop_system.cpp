#include "platform/desktop/shell.h"
#include "platform/process/main_thread.h"
#include "sheetexport/desktop.h"

namespace {

class TSystemDesktop : public TDesktop {
 public:
  std::string DocumentsFolder() override { return GetSpecialPath(CSIDL_PERSONAL); }

  bool OpenFile(const std::string& file, std::function<void()> notOpened) override {
    return OpenInDefaultProgram(file, [notOpened = std::move(notOpened)] {
      if (!notOpened) return;
      if (TMainThread* main = TMainThread::Current()) main->Post(notOpened);
    });
  }
};

}  // namespace

std::unique_ptr<TDesktop> CreateSystemDesktop() {
  return std::make_unique<TSystemDesktop>();
}
