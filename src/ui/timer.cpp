#include "elements.h"

void TTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  Restart();
}

void TTimer::SetInterval(unsigned ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Restart();
}

void TTimer::Restart() {
  if (enabled_ && interval_ > 0)
    StartClock(interval_);
  else
    StopClock();
}

void TTimer::Tick() {
  if (enabled_ && OnTimer) OnTimer(this);
}
