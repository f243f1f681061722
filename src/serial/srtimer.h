// A repeating timer whose OnTimer runs on the owner's message loop (the installed main-thread
// dispatcher). Used on the owner's thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <thread>

#include "serial/srclasses.h"

class TsrTimer : public TObject {
 public:
  TsrTimer() = default;
  ~TsrTimer() override;
  TsrTimer(const TsrTimer&) = delete;
  TsrTimer& operator=(const TsrTimer&) = delete;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v);
  std::uint32_t Interval() const { return FInterval; }
  void SetInterval(std::uint32_t v);
  const TNotifyEvent& OnTimer() const { return FOnTimer; }
  void SetOnTimer(TNotifyEvent e);

 protected:
  virtual void DoTimer();

 private:
  struct TTicker;
  void RestartTimer();
  void Kill();
  std::uint32_t FInterval = 1000;
  TNotifyEvent FOnTimer;
  bool FEnabled = true;
  std::shared_ptr<TTicker> ticker_;
  std::thread thread_;
};
