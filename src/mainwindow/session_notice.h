// What the waiting state tells under its status line: a port that cannot be opened, while that
// lasts, and what became of the last reading (it broke off, or it is kept though not exported),
// until the next reading starts. Main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/serial/port_fault.h"

class TSessionNotice {
 public:
  // The outcome of one attempt to open port. A fault the user can mend is kept until the port
  // opens or leaves the candidates; its text is returned the first time this port fails for
  // this reason.
  std::optional<std::string> PortTried(const std::string& port, TPortFault fault);
  // Forgets the faults of ports that are no longer candidates.
  void KeepPorts(const std::vector<std::string>& ports);
  // A reading gave up after done of total records; returns the note.
  std::string BrokenOff(std::uint32_t done, std::uint32_t total);
  // The last reading was left without an export, but the earlier readings keep it; returns the
  // note.
  std::string LastKept();
  void ClearLastReading() { lastReading_.clear(); }
  // The text to show: the first port fault, else the last reading's note; empty when all is well.
  std::string Text() const;

 private:
  std::vector<std::pair<std::string, std::string>> faults_;  // port and text, in order of failing
  std::string lastReading_;
  std::set<std::string> told_;
};

// The text for a port that cannot be opened; empty for a fault the user need not hear of (a port
// of an adapter that is not plugged in, for one).
std::string PortFaultText(const std::string& port, TPortFault fault);
