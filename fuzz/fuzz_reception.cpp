// Feeds arbitrary chunked byte streams to the receive handler, starting in every link state.
// Input: byte 0 picks the state; then repeatedly one length byte and that many data bytes.
#include <cstddef>
#include <cstdint>

#include "test_link.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TTestLink* link = new TTestLink;  // kept across runs: stale buffers must not matter
  link->record = false;
  if (size == 0) return 0;
  link->send_throws = (data[0] & 4) != 0;
  switch (data[0] % 4) {
    case 0:
      link->ClearCom();
      link->ClearDev();
      link->Pending = TMainLink::ChIdle;
      break;
    case 1:
      link->RequestHeader();
      break;
    case 2: {
      link->RequestHeader();
      const std::string h = EncodeFrame(HeaderPayload(static_cast<std::uint16_t>(data[0] >> 3)));
      link->Feed(h);
      break;
    }
    default:
      break;  // whatever the previous input left
  }
  std::size_t pos = 1;
  while (pos < size) {
    std::size_t n = data[pos++];
    if (n == 255) n = 70000;  // larger than the receive buffer
    if (n > size - pos) n = size - pos;
    link->srComm1AfterReceive(nullptr, data + pos, static_cast<std::uint32_t>(n));
    pos += n;
  }
  return 0;
}
