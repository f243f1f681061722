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
    EXPECT_EQ(link.events, std::vector<std::string>{"ready"});
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
  link.Feed(EncodeFrame(HeaderPayload(2)) + "junk");
  EXPECT_EQ(link.RxLen, 0u);
  link.Feed(EncodeFrame(Record(7)) + "S0102");
  EXPECT_EQ(link.RxLen, 0u);
  EXPECT_EQ(link.Archive.RecCount(), 1u);
  link.Feed(EncodeFrame(Record(8)));
  EXPECT_EQ(link.sent, "nOO");
  EXPECT_EQ(link.Archive.RecCount(), 2u);
}

TEST(LinkExchange, RejectedHeadersReturnToWaitSilently) {
  std::vector<std::uint8_t> ten(10, 0);
  std::vector<std::uint8_t> byte1 = HeaderPayload(3);
  byte1[1] = 1;
  std::string corrupt = EncodeFrame(HeaderPayload(3));
  corrupt[3] = '5';
  for (const std::string& frame : {EncodeFrame(ten), EncodeFrame(byte1), corrupt}) {
    TTestLink link;
    link.RequestHeader();
    link.Feed(frame);
    EXPECT_EQ(link.events, std::vector<std::string>{"wait"});
    EXPECT_EQ(link.sent, "");
    EXPECT_FALSE(link.DevValid);
  }
}

TEST(LinkExchange, ElevenByteHeaderReadsTheMissingCountByteAsZero) {
  std::vector<std::uint8_t> h = HeaderPayload(2);
  h.resize(11);
  TTestLink link;
  link.RequestHeader();
  link.Feed(EncodeFrame(h));
  EXPECT_EQ(link.Archive.RecTotal(), 2u);
  EXPECT_EQ(link.sent, "n");
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
  link.Feed(EncodeFrame(Record(0xBB, 300)));  // longer than a slot: its first 128 bytes kept
  EXPECT_EQ(link.Archive.Slot(1)[127], 0xBB);
  link.events.clear();
  link.sent.clear();
  link.RequestHeader();
  link.Feed(EncodeFrame(HeaderPayload(1)));
  link.Feed(EncodeFrame(Record(0x11, 20)));
  EXPECT_EQ(link.sent, "nO");
  EXPECT_EQ(link.events, std::vector<std::string>{"ready"});
  EXPECT_EQ(link.Archive.RecTotal(), 1u);
  const ArchiveSlot& s = link.Archive.Slot(0);
  for (std::size_t i = 0; i < kSlotSize; ++i) ASSERT_EQ(s[i], i < 20 ? 0x11 : 0) << i;
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
  EXPECT_EQ(link.events, std::vector<std::string>{"ready"});
}
