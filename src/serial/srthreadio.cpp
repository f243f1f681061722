#include "serial/srclasses.h"

namespace {
// The worker thread running on this thread, if any.
thread_local TsrThreadIO* t_threadIO = nullptr;
}  // namespace

TsrThreadIO::TsrThreadIO(TsrBaseIO* com) : fsrComm(com) {
  // (The multithreaded COM apartment the work may need exists only on Windows.)
  thread_ = std::thread([this] {
    t_threadIO = this;
    fsrComm->ThreadIOExecute(this);
    t_threadIO = nullptr;
  });
}

TsrThreadIO::~TsrThreadIO() {
  Terminate();
  WaitFor();
}

bool TsrThreadIO::IsCurrentThread() const {
  return t_threadIO == this;
}

void TsrThreadIO::WaitFor() {
  if (thread_.joinable() && !IsCurrentThread()) thread_.join();
}

TsrThreadIO* TsrThreadIO::Current() {
  return t_threadIO;
}
