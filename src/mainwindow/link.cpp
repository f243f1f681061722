#include "link.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "text/string_table.h"

namespace {

// The header's count field is bytes 10..11. One that lacks byte 11 could announce 44 of 300
// records and have the reading end as complete: it is refused like any short header.
constexpr std::size_t kMinHeader = 12;

}  // namespace

std::size_t TMainLink::ByteSearch(const std::uint8_t* data, std::size_t capacity,
                                  std::uint8_t value) {
  const void* p = std::memchr(data, value, capacity);
  return p ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(p) - data) : capacity;
}

std::uint8_t TMainLink::PackByte(const std::uint8_t* data, std::size_t pos) {
  return static_cast<std::uint8_t>((data[pos + 1] - 48) * 16 + data[pos] - 48);
}

std::uint16_t TMainLink::PackWord(const std::uint8_t* data, std::size_t pos) {
  std::uint32_t v = 0;
  for (unsigned i = 0; i < 4; ++i) v += static_cast<std::uint32_t>(data[pos + i] - 48) << (4 * i);
  return static_cast<std::uint16_t>(v);
}

std::uint32_t TMainLink::PackDWord(const std::uint8_t* data, std::size_t pos) {
  return PackWord(data, pos) + 65536u * PackWord(data, pos + 4);
}

TDateTime TMainLink::PackDate(const std::uint8_t* data, std::size_t pos) {
  const auto d = TryEncodeDate(data[pos] + 2000, data[pos + 1], data[pos + 2]);
  return d ? *d : *TryEncodeDate(2000, 1, 1);
}

std::size_t TMainLink::CheckPack(std::uint8_t* data, std::size_t capacity) {
  const std::size_t s = ByteSearch(data, capacity, 'S');
  const std::size_t e = ByteSearch(data, capacity, 'P');
  if (e == capacity || s >= e) return 0;
  const std::size_t b = s + 1;
  if (e - b <= 10) return 0;
  const std::size_t n = e - 8 - b;
  std::uint32_t sum = 0;
  for (std::size_t k = 1; k <= n; ++k) sum += data[b + k - 1] ^ static_cast<std::uint32_t>(k);
  if (sum != PackDWord(data, e - 8)) return 0;
  std::size_t j = 0;
  for (; b + 2 * j <= e - 9; ++j) data[j] = PackByte(data, b + 2 * j);
  return j;
}

void TMainLink::ClearCom() {
  RxLen = 0;
  RxOverflow = false;
  SeenEnd = false;
  SeenIdle = false;
  RxActivity = false;
}

void TMainLink::ClearDev() {
  DevValid = false;
  Archive.ClearDev();
}

void TMainLink::DevConnect() {
  DevValid = false;
  if (RxBuf[0] != 0 || RxBuf[1] != 0) return;
  DevDate = PackDate(RxBuf, 2);
  DevValue5 = Byte2Word(RxBuf, 5);
  DevValue7 = Byte2Word(RxBuf, 7);
  const std::uint16_t total = Byte2Word(RxBuf, 10);
  if (total > 0) {
    Archive.Resize(total);
    DevValid = true;
    emptyReported_.clear();
    return;
  }
  Archive.ClearDev();
  // An empty tester that stays plugged in is found again at every search: tell it once.
  const std::string port = LinkPort();
  if (port == emptyReported_) return;
  emptyReported_ = port;
  StopTimers();
  ShowInfo(Str(TS::ArchiveEmpty), Str(TS::Information), "SystemDefault");
}

void TMainLink::Send(char ch) {
  try {
    SendCommand(ch);
  } catch (...) {
    // A lost command ends in silence, which the session's watchdog handles.
  }
}

void TMainLink::StopTimers() {
  if (Timer_CheckWork) Timer_CheckWork->SetEnabled(false);
  if (Timer_DeviceRefresh) Timer_DeviceRefresh->SetEnabled(false);
}

void TMainLink::ResetFrame() {
  RxLen = 0;
  RxOverflow = false;
  SeenEnd = false;
}

void TMainLink::srComm1AfterReceive(TObject*, const std::uint8_t* Buffer, std::uint32_t Received) {
  const std::size_t room = RxBufSize - RxLen;
  const std::size_t kept = std::min<std::size_t>(Received, room);
  if (kept > 0) std::memcpy(RxBuf + RxLen, Buffer, kept);
  RxLen += kept;
  if (kept < Received) RxOverflow = true;
  if (std::memchr(Buffer, 'P', Received)) SeenEnd = true;
  if (std::memchr(Buffer, 'Z', Received)) SeenIdle = true;

  if (Pending == ChIdle) {
    RxLen = 0;
    RxOverflow = false;
    return;
  }
  if (!SeenEnd) return;
  if (Pending == ChHeader)
    HandleHeader();
  else if (Pending == ChStart)
    HandleRecord();
}

void TMainLink::HandleHeader() {
  const std::size_t count = RxOverflow ? 0 : CheckPack(RxBuf, RxLen);
  if (count < kMinHeader) {
    SetStateWait();
    return;
  }
  DevConnect();
  if (!DevValid) {
    SetStateWait();
    return;
  }
  RxActivity = true;
  if (L_State) L_State->SetCaption(Str(TS::DeviceFound));
  if (PB_Data) {
    PB_Data->SetPosition(0);
    PB_Data->SetMin(0);
    PB_Data->SetMax(static_cast<int>(Archive.RecTotal()));
    PB_Data->SetVisible(true);
  }
  ResetFrame();
  Pending = ChStart;
  Send(ChStart);
}

void TMainLink::BadData() {
  StopTimers();
  ShowInfo(Str(TS::BadData), Str(TS::ErrorCaption), "SystemHand");
  SetStateWait();
}

// Signs that the tester and the reader no longer agree on which record comes next: a frame
// shaped like the header, or the record just stored once more (a record's date and time make two
// real ones differ). Both would store a wrong record and lose a real one at the end.
bool TMainLink::OutOfStep(std::size_t count) const {
  // A record starts with its day and month, never 0; the header starts with two zeros.
  const bool headerShape =
      count >= kMinHeader && count < kSlotSize && RxBuf[0] == 0 && RxBuf[1] == 0;
  return headerShape || Archive.SameAsLast(RxBuf, count);
}

void TMainLink::HandleRecord() {
  // Each record answers one command: a second frame behind the first in the same chunk means
  // the tester ran ahead, and dropping it with the buffer would lose a record unnoticed.
  const std::size_t end = ByteSearch(RxBuf, RxLen, 'P');
  const bool secondFrame = end < RxLen && ByteSearch(RxBuf + end, RxLen - end, 'S') < RxLen - end;
  const std::size_t count = RxOverflow || secondFrame ? 0 : CheckPack(RxBuf, RxLen);
  const bool lengthFits = count <= kSlotSize && count >= RecordBytesNeeded(RxBuf, count);
  if (count == 0 || !lengthFits || OutOfStep(count) || !Archive.StoreRecord(RxBuf, count)) {
    BadData();
    return;
  }
  const std::uint32_t done = Archive.RecCount();
  const std::uint32_t total = Archive.RecTotal();
  if (L_State) {
    // Built in a buffer kept across frames: no allocation per record.
    char digits[32];
    caption_.assign(Str(TS::Receiving));
    caption_ += " (";
    caption_.append(digits, std::to_chars(digits, digits + sizeof digits, done).ptr);
    caption_ += '/';
    caption_.append(digits, std::to_chars(digits, digits + sizeof digits, total).ptr);
    caption_ += ')';
    L_State->SetCaption(caption_);
  }
  if (PB_Data) {
    try {
      PB_Data->SetPosition(static_cast<int>(done));
    } catch (...) {
      // The bar is only a hint; the reading goes on.
    }
  }
  ResetFrame();
  if (done == total) {
    SessionPhase = phComplete;
    Send(ChAck);
    Pending = ChIdle;
    KeepReading();
    SetStateDataReady();
    return;
  }
  RxActivity = true;
  Send(ChAck);
}
