#include "mainwindow/link.h"

#include <gtest/gtest.h>

#include <cstring>

#include "test_link.h"

namespace {

std::string Hex(const std::string& s) {
  static const char* d = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : s) {
    if (!out.empty()) out += ' ';
    out += d[c >> 4];
    out += d[c & 15];
  }
  return out;
}

std::size_t Check(std::string frame, std::vector<std::uint8_t>* decoded = nullptr) {
  std::vector<std::uint8_t> buf(frame.begin(), frame.end());
  const std::size_t n = TMainLink::CheckPack(buf.data(), buf.size());
  if (decoded) decoded->assign(buf.begin(), buf.begin() + static_cast<long>(n));
  return n;
}

std::vector<std::uint8_t> Record(std::uint8_t fill, std::size_t size = 128) {
  return std::vector<std::uint8_t>(size, fill);
}

}  // namespace

TEST(LinkFrame, KnownFramesAndLengthLimits) {
  EXPECT_EQ(Hex(EncodeFrame({1, 2})), "53 31 30 32 30 37 3C 30 30 30 30 30 30 50");
  std::vector<std::uint8_t> out;
  EXPECT_EQ(Check(EncodeFrame({1, 2}), &out), 2u);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2}));

  const std::string zero = EncodeFrame(Record(0));
  EXPECT_EQ(TMainLink::PackDWord(reinterpret_cast<const std::uint8_t*>(zero.data()), 257), 32896u);
  EXPECT_EQ(Check(zero, &out), 128u);
  EXPECT_EQ(out, Record(0));

  // Three payload characters: the shortest frame; its second byte borrows a checksum nibble.
  EXPECT_EQ(Check("S12309000000P", &out), 2u);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{0x21, 0x03}));
  EXPECT_EQ(Check("S1209000000P"), 0u);  // ten characters between the markers

  std::string bad = EncodeFrame({1, 2});
  bad[1] = '2';
  EXPECT_EQ(Check(bad), 0u);
  EXPECT_EQ(Check("P" + EncodeFrame({1, 2})), 0u);
  EXPECT_EQ(Check(EncodeFrame({1, 2}).substr(0, 13)), 0u);
}

TEST(LinkExchange, ThreeRecordsInAnyChunking) {
  for (const std::size_t chunk : {1u, 5u, 64u, 100000u}) {
    TTestLink link;
    link.RequestHeader();
    std::string wire = EncodeFrame(HeaderPayload(3));
    link.Feed(wire, chunk);
    EXPECT_EQ(link.sent, "n");
    EXPECT_EQ(link.label.Caption(), "Device found, request data...");
    EXPECT_TRUE(link.bar.Visible());
    EXPECT_EQ(link.bar.Max(), 3);
    EXPECT_EQ(link.DevDate, EncodeDateTime(2024, 5, 17, 0, 0, 0, 0));
    EXPECT_EQ(link.DevValue5, 0x1234);
    EXPECT_EQ(link.DevValue7, 0x5678);
    for (std::uint8_t r = 1; r <= 3; ++r) {
      link.Feed(EncodeFrame(Record(r)), chunk);
      if (r == 2) {
        EXPECT_EQ(link.label.Caption(), "Reception of the data... (2/3)");
      }
    }
    EXPECT_EQ(link.sent, "nOOO") << chunk;
    EXPECT_EQ(link.events, (std::vector<std::string>{"keep", "ready"}));
    EXPECT_EQ(link.bar.Position(), 3);
    EXPECT_EQ(link.Pending, TMainLink::ChIdle);
    EXPECT_EQ(link.SessionPhase, phComplete);
    EXPECT_EQ(link.Archive.RecCount(), 3u);
    EXPECT_EQ(link.Archive.Slot(2), [] {
      ArchiveSlot s;
      s.fill(3);
      return s;
    }());
    EXPECT_EQ(link.RxLen, 0u);
    EXPECT_FALSE(link.SeenEnd);
  }
}

TEST(LinkExchange, TrailingBytesAreDroppedAndIdleBytesNeverAccumulate) {
  TTestLink link;
  link.Feed("xxZxx");
  EXPECT_TRUE(link.SeenIdle);
  EXPECT_EQ(link.RxLen, 0u);
  link.RequestHeader();
  // Behind the header even a frame start is dropped: "n" asks for record 1 whatever came along.
  link.Feed(EncodeFrame(HeaderPayload(2)) + "junk S0102");
  EXPECT_EQ(link.RxLen, 0u);
  link.Feed(EncodeFrame(Record(7)) + "0102\r\n");
  EXPECT_EQ(link.RxLen, 0u);
  EXPECT_EQ(link.Archive.RecCount(), 1u);
  link.Feed(EncodeFrame(Record(8)));
  EXPECT_EQ(link.sent, "nOO");
  EXPECT_EQ(link.Archive.RecCount(), 2u);
}

// A record of the given day with the given seconds: real records differ at least in their time.
std::vector<std::uint8_t> Dated(std::uint8_t day, std::uint8_t second, std::size_t size = 128) {
  std::vector<std::uint8_t> r = Record(0x21, size);
  r[0] = day;
  r[1] = 12;
  r[5] = second;
  return r;
}

TEST(LinkExchange, TesterOutOfStepIsBadDataNeverAWrongArchive) {
  const std::string header = EncodeFrame(HeaderPayload(3));
  const std::string r1 = EncodeFrame(Dated(9, 1)), r2 = EncodeFrame(Dated(9, 2));
  std::vector<std::uint8_t> shifted = Dated(9, 1);
  shifted.insert(shifted.begin(), 0x37);
  struct Case {
    const char* name;
    std::vector<std::string> chunks;  // after the header
    std::string sent;                 // commands sent, "n" for the header included
  } cases[] = {
      {"the header again for record 1", {header}, "n"},
      {"the header again for record 2", {r1, header}, "nO"},
      {"a short frame of the header's shape",
       {EncodeFrame({0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12})},
       "n"},
      {"record 1 twice", {r1, r1}, "nO"},
      {"two records in one chunk", {r1 + r2}, "n"},
      {"a record and the start of the next", {r1 + r2.substr(0, 9)}, "n"},
      {"the second frame completes the first's chunk",
       {r1.substr(0, 100), r1.substr(100) + r2},
       "n"},
      // Frames of the wrong length: a byte too many would shift every field.
      {"a record of 129 bytes", {r1, EncodeFrame(shifted)}, "nO"},
      {"a record that lacks some of its 33 single values", {EncodeFrame(Dated(9, 1, 95))}, "n"},
      {"a record that lacks fixed fields", {EncodeFrame(Dated(9, 1, 29))}, "n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TTestLink link;
    link.RequestHeader();
    link.Feed(header, header.size());
    for (const std::string& chunk : c.chunks) link.Feed(chunk, chunk.size());
    EXPECT_EQ(link.events, (std::vector<std::string>{"info Error SystemHand", "wait"}));
    EXPECT_EQ(link.info_text, "Error in received data!\r\nPlease check device and cable!");
    EXPECT_TRUE(link.timers_stopped_at_info);
    EXPECT_EQ(link.sent, c.sent);
    EXPECT_EQ(link.Archive.RecCount(), 0u);
  }
}

TEST(LinkExchange, RecordsThatOnlyLookAlikeAreKept) {
  const std::vector<std::vector<std::uint8_t>> records[] = {
      {Dated(9, 1), Dated(9, 2), Dated(9, 1)},  // equal, but not to the one before
      {Dated(9, 1), Dated(10, 1)},              // another day
      {Dated(9, 1, 96), Dated(9, 1, 97)},       // a shorter slot's extra byte is not zero
      {Record(0), Dated(1, 0)},                 // a whole slot of zeros is no header
      {Dated(1, 0, 96), Dated(1, 0, 127)},      // short, but whole and dated
  };
  for (const auto& archive : records) {
    TTestLink link;
    link.RequestHeader();
    link.Feed(EncodeFrame(HeaderPayload(static_cast<std::uint16_t>(archive.size()))));
    for (const auto& r : archive) link.Feed(EncodeFrame(r), 1000);
    EXPECT_EQ(link.events, (std::vector<std::string>{"keep", "ready"})) << archive.size();
    EXPECT_EQ(link.Archive.RecCount(), archive.size());
  }
}

TEST(LinkExchange, OnlyCompletedFramesCountAsActivity) {
  TTestLink link;
  link.RequestHeader();
  link.RxActivity = false;
  link.Feed("S0123", 1);
  EXPECT_FALSE(link.RxActivity);
  link.Feed(EncodeFrame(HeaderPayload(2)).substr(5));
  EXPECT_FALSE(link.RxActivity) << "an incomplete header";
  link.RequestHeader();
  link.Feed(EncodeFrame(HeaderPayload(2)));
  EXPECT_TRUE(link.RxActivity);
  link.RxActivity = false;
  // A chattering line: nibble characters, never an end marker.
  for (int i = 0; i < 2000; ++i) link.Feed(std::string(1, static_cast<char>('0' + i % 16)));
  EXPECT_FALSE(link.RxActivity);
  EXPECT_EQ(link.Archive.RecCount(), 0u);
}

TEST(LinkExchange, EmptyArchiveIsReportedOncePerPort) {
  TTestLink link;
  const auto reading = [&](const std::string& port, std::uint16_t records) {
    link.port = port;
    link.events.clear();
    link.RequestHeader();
    link.Feed(EncodeFrame(HeaderPayload(records)));
    return link.events;
  };
  const std::vector<std::string> told = {"info Information SystemDefault", "wait"};
  const std::vector<std::string> silent = {"wait"};
  EXPECT_EQ(reading("/dev/ttyUSB0", 0), told);
  EXPECT_EQ(reading("/dev/ttyUSB0", 0), silent);
  link.check_work.SetEnabled(true);
  EXPECT_EQ(reading("/dev/ttyUSB0", 0), silent);
  EXPECT_TRUE(link.check_work.Enabled()) << "silent: the timers are left to the search";
  EXPECT_EQ(reading("/dev/ttyUSB1", 0), told);
  EXPECT_EQ(reading("/dev/ttyUSB1", 0), silent);
  // An archive with records ends it.
  EXPECT_EQ(reading("/dev/ttyUSB1", 2), std::vector<std::string>{});
  EXPECT_EQ(reading("/dev/ttyUSB1", 0), told);
  // So does a device change.
  link.ForgetEmptyArchive();
  EXPECT_EQ(reading("/dev/ttyUSB1", 0), told);
}

TEST(LinkExchange, RejectedHeadersReturnToWaitSilently) {
  std::vector<std::uint8_t> ten(10, 0);
  std::vector<std::uint8_t> byte1 = HeaderPayload(3);
  byte1[1] = 1;
  std::string corrupt = EncodeFrame(HeaderPayload(3));
  corrupt[3] = '5';
  // Without byte 11 the count could be 2 or 258: a reading of 2 would pass as complete.
  std::vector<std::uint8_t> eleven = HeaderPayload(2);
  eleven.resize(11);
  for (const std::string& frame :
       {EncodeFrame(ten), EncodeFrame(byte1), corrupt, EncodeFrame(eleven)}) {
    TTestLink link;
    link.RequestHeader();
    link.Feed(frame);
    EXPECT_EQ(link.events, std::vector<std::string>{"wait"});
    EXPECT_EQ(link.sent, "");
    EXPECT_FALSE(link.DevValid);
  }
}

TEST(LinkExchange, InvalidDeviceDateIsKeptAsFirstOfJanuary2000) {
  std::vector<std::uint8_t> h = HeaderPayload(1);
  h[3] = 13;
  TTestLink link;
  link.RequestHeader();
  link.Feed(EncodeFrame(h));
  EXPECT_EQ(link.DevDate, EncodeDateTime(2000, 1, 1, 0, 0, 0, 0));
}

TEST(LinkExchange, EmptyArchiveAndBadRecordAreReportedWithTimersStopped) {
  TTestLink empty;
  empty.RequestHeader();
  empty.Feed(EncodeFrame(HeaderPayload(0)));
  EXPECT_EQ(empty.events, (std::vector<std::string>{"info Information SystemDefault", "wait"}));
  EXPECT_EQ(empty.info_text, "Archive is empty!");
  EXPECT_TRUE(empty.timers_stopped_at_info);

  TTestLink bad;
  bad.RequestHeader();
  bad.Feed(EncodeFrame(HeaderPayload(3)));
  bad.Feed(EncodeFrame(Record(1)));
  std::string frame = EncodeFrame(Record(2));
  frame[10] = '7';
  bad.Feed(frame);
  EXPECT_EQ(bad.events, (std::vector<std::string>{"info Error SystemHand", "wait"}));
  EXPECT_EQ(bad.info_text, "Error in received data!\r\nPlease check device and cable!");
  EXPECT_TRUE(bad.timers_stopped_at_info);
  EXPECT_EQ(bad.sent, "nO");
  EXPECT_EQ(bad.Archive.RecCount(), 0u);
  EXPECT_EQ(bad.Archive.RecTotal(), 0u);
}

TEST(LinkExchange, SecondShorterReadingLeavesNothingOfTheFirst) {
  TTestLink link;
  link.RequestHeader();
  link.Feed(EncodeFrame(HeaderPayload(2)));
  link.Feed(EncodeFrame(Record(0xAA)));
  link.Feed(EncodeFrame(Record(0xBB)));
  EXPECT_EQ(link.Archive.Slot(1)[127], 0xBB);
  link.events.clear();
  link.sent.clear();
  link.RequestHeader();
  link.Feed(EncodeFrame(HeaderPayload(1)));
  link.Feed(EncodeFrame(Record(0x11, 64)));  // its 17 single values, and nothing behind them
  EXPECT_EQ(link.sent, "nO");
  EXPECT_EQ(link.events, (std::vector<std::string>{"keep", "ready"}));
  EXPECT_EQ(link.Archive.RecTotal(), 1u);
  const ArchiveSlot& s = link.Archive.Slot(0);
  for (std::size_t i = 0; i < kSlotSize; ++i) ASSERT_EQ(s[i], i < 64 ? 0x11 : 0) << i;
}

TEST(LinkExchange, OverfullFrameIsBadAndNeverWritesPastTheBuffer) {
  TTestLink header;
  header.RequestHeader();
  header.Feed("S" + std::string(TMainLink::RxBufSize + 100, '0'), 4096);
  EXPECT_EQ(header.RxLen, TMainLink::RxBufSize);
  header.Feed("P");
  EXPECT_EQ(header.events, std::vector<std::string>{"wait"});

  TTestLink record;
  record.RequestHeader();
  record.Feed(EncodeFrame(HeaderPayload(1)));
  // A good frame at the start, but the chunk overflows the buffer before its end marker.
  std::string big = std::string(TMainLink::RxBufSize, '0') + EncodeFrame(Record(1));
  record.Feed(big, big.size());
  EXPECT_EQ(record.events, (std::vector<std::string>{"info Error SystemHand", "wait"}));
}

TEST(LinkExchange, AThrowingSendIsAbsorbed) {
  TTestLink link;
  link.send_throws = true;
  link.RequestHeader();
  link.Feed(EncodeFrame(HeaderPayload(1)));
  EXPECT_EQ(link.Pending, TMainLink::ChStart);
  link.Feed(EncodeFrame(Record(5)));
  EXPECT_EQ(link.sent, "nO");
  EXPECT_EQ(link.events, (std::vector<std::string>{"keep", "ready"}));
}
