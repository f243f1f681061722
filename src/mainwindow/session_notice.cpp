#include "session_notice.h"

#include <algorithm>

#include "text/string_table.h"

std::string PortFaultText(const std::string& port, TPortFault fault) {
  switch (fault) {
    case TPortFault::NoPermission:
      return Str(TS::NoPermission, {port}) + "\r\n" + Str(TS::AddToDialout);
    case TPortFault::InUse:
      return Str(TS::PortInUse, {port}) + "\r\n" + Str(TS::LeftAloneWhileInUse);
    default:
      return {};
  }
}

std::optional<std::string> TSessionNotice::PortTried(const std::string& port, TPortFault fault) {
  const std::string text = PortFaultText(port, fault);
  auto it =
      std::find_if(faults_.begin(), faults_.end(), [&](const auto& f) { return f.first == port; });
  if (text.empty()) {
    if (it != faults_.end()) faults_.erase(it);
    return std::nullopt;
  }
  if (it == faults_.end())
    faults_.emplace_back(port, text);
  else
    it->second = text;
  if (!told_.insert(text).second) return std::nullopt;
  return text;
}

void TSessionNotice::KeepPorts(const std::vector<std::string>& ports) {
  std::erase_if(faults_, [&](const auto& f) {
    return std::find(ports.begin(), ports.end(), f.first) == ports.end();
  });
}

std::string TSessionNotice::BrokenOff(std::uint32_t done, std::uint32_t total) {
  lastReading_ = StrN(TS::ReadingStopped, total, {std::to_string(done), std::to_string(total)}) +
                 "\r\n" + Str(TS::ConnectAgain);
  return lastReading_;
}

std::string TSessionNotice::LastKept() {
  lastReading_ = Str(TS::LastReadingKept, {Str(TS::EarlierReadings)});
  return lastReading_;
}

std::string TSessionNotice::Text() const {
  return faults_.empty() ? lastReading_ : faults_.front().second;
}
