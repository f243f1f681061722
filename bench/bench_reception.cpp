// A full archive (65535 records, 49 single values each) as the tester sends it, fed in 64-byte
// chunks through the receive handler with every answer; prints the time it takes.
#include <chrono>
#include <cstdio>

#include "test_link.h"

int main() {
  constexpr std::uint16_t kRecords = 65535;
  // The tester sends each frame only after the answer to the previous one.
  std::vector<std::string> frames;
  frames.reserve(kRecords);
  std::size_t bytes = 0;
  for (std::uint32_t i = 0; i < kRecords; ++i) {
    std::vector<std::uint8_t> r(128);
    for (std::size_t b = 0; b < r.size(); ++b) r[b] = static_cast<std::uint8_t>(i * 7 + b);
    r[3] = 49;
    frames.push_back(EncodeFrame(r));
    bytes += frames.back().size();
  }
  const std::string header = EncodeFrame(HeaderPayload(kRecords));
  TTestLink link;
  link.sent.reserve(kRecords + 2);
  const auto t0 = std::chrono::steady_clock::now();
  link.RequestHeader();
  link.Feed(header, 64);
  for (const std::string& f : frames) link.Feed(f, 64);
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("reception: %u records, %zu bytes in 64-byte chunks: %.4f s (%s, %zu answers)\n",
              link.Archive.RecCount(), header.size() + bytes, s,
              link.events.size() == 1 && link.events[0] == "ready" ? "complete" : "INCOMPLETE",
              link.sent.size());
  return link.Archive.RecCount() == kRecords ? 0 : 1;
}
