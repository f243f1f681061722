// The common root of everything that sends events (window elements, the serial component), so
// that one handler type serves them all.
#pragma once

#include <functional>

class TObject {
 public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;
