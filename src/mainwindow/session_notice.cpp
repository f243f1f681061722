#include "session_notice.h"

#include <algorithm>

namespace {

const char* const kTextNoPermission = "No permission to open %port%.";
const char* const kTextDialout = "Please add your user to the dialout group and log in again.";
const char* const kTextInUse = "%port% is in use by another program.";
const char* const kTextCloseOther = "Please close the other program using it.";
const char* const kTextStopped = "The last reading stopped after %done% of %total% records.";
const char* const kTextConnectAgain = "Please connect the tester again.";

std::string Fill(std::string text, const std::string& field, const std::string& value) {
  if (const auto at = text.find(field); at != std::string::npos)
    text.replace(at, field.size(), value);
  return text;
}

}  // namespace

std::string PortFaultText(const std::string& port, TPortFault fault) {
  switch (fault) {
    case TPortFault::NoPermission:
      return Fill(kTextNoPermission, "%port%", port) + "\r\n" + kTextDialout;
    case TPortFault::InUse:
      return Fill(kTextInUse, "%port%", port) + "\r\n" + kTextCloseOther;
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
  brokenOff_ =
      Fill(Fill(kTextStopped, "%done%", std::to_string(done)), "%total%", std::to_string(total)) +
      "\r\n" + kTextConnectAgain;
  return brokenOff_;
}

std::string TSessionNotice::Text() const {
  return faults_.empty() ? brokenOff_ : faults_.front().second;
}
