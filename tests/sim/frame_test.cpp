#include "frame.h"

#include <gtest/gtest.h>

#include <random>

#include "frame_decoder.h"

TEST(SimFrame, EncodesKnownFrames) {
  const std::vector<uint8_t> two = {0x01, 0x02};
  const std::string want = {0x53, 0x31, 0x30, 0x32, 0x30, 0x37, 0x3C,
                            0x30, 0x30, 0x30, 0x30, 0x30, 0x30, 0x50};
  EXPECT_EQ(EncodeFrame(two), want);

  // 256 payload characters: the last positions of k pass their high bits into the sum.
  const std::vector<uint8_t> zero(128, 0);
  EXPECT_EQ(FrameChecksum(std::string(256, '0')), 32896u);
  EXPECT_EQ(EncodeFrame(zero), "S" + std::string(256, '0') + "08080000P");

  const std::vector<uint8_t> all = {0x00, 0xFF, 0xA5, 0x5A};
  EXPECT_EQ(EncodeFrame(all).substr(0, 9), "S00??5::5");
}

TEST(SimFrame, ReaderDecodesWhatIsSentAndRejectsASpoiledChecksum) {
  std::mt19937 rnd(7);
  for (size_t size : {1u, 2u, 11u, 12u, 128u, 300u}) {
    std::vector<uint8_t> payload(size);
    for (auto& b : payload) b = static_cast<uint8_t>(rnd());
    const std::string frame = EncodeFrame(payload);
    EXPECT_EQ(frame.find_first_of("SPZ", 1), frame.size() - 1) << size;
    const auto good = DecodeFrame(frame);
    if (size == 1) {  // too short for a reader: 2 payload characters
      EXPECT_FALSE(good);
      continue;
    }
    ASSERT_TRUE(good) << size;
    EXPECT_TRUE(good->ChecksumOk) << size;
    EXPECT_EQ(good->Payload, payload) << size;
    const auto bad = DecodeFrame(EncodeFrame(payload, 1));
    ASSERT_TRUE(bad);
    EXPECT_FALSE(bad->ChecksumOk) << size;
    EXPECT_EQ(bad->Payload, payload) << size;
  }
}
