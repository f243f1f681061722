// The Plug and Play identification string against a scripted device: it answers the DTR and
// RTS toggles with its string, the first or the second time, or not at all.
#include <gtest/gtest.h>

#include "fake_serial_api.h"
#include "serial/srcomm.h"
#include "test_support.h"

namespace {

struct Pnp : ::testing::Test {
  TTestLoop loop;
  std::shared_ptr<TFakeSerialApi> fake = std::make_shared<TFakeSerialApi>();
  TsrComm com;
  int rtsRaised = 0;
  void SetUp() override {
    com.SetSerialApi(fake);
    com.SetBaudRate(9600);
    com.SetTraceStates(tsCTS);
  }
  // The device sends answer when RTS goes up for the answerAt-th time (0: never).
  void Device(bool dsr, int answerAt, const std::string& answer) {
    fake->SetModem(dsr ? MS_DSR_ON : 0);
    fake->OnEscape = [this, answerAt, answer](std::uint32_t f) {
      if (f == SETRTS && ++rtsRaised == answerAt) fake->Arrive(answer);
    };
  }
  std::vector<std::string> States() {
    std::vector<std::string> states;
    for (const std::string& c : fake->Calls())
      if (c.rfind("SetCommState ", 0) == 0) states.push_back(c.substr(13, c.find(' ', 13) - 13));
    return states;
  }
};

TEST_F(Pnp, ReadsTheStringAtTheLineSettingsOfThatProtocol) {
  struct Case {
    const char* name;
    int answerAt;
    std::string answer, expected;
  };
  const Case cases[] = {
      {"answers at once", 1, "(\x01$PNP0F0C)and more", "(\x01$PNP0F0C)"},
      {"answers the second time", 2, "(ABC)", "(ABC)"},
      {"older framing", 1, std::string("\x08XY\x09Z"), std::string("\x08XY\x09")},
      {"never answers", 0, "", ""},
      {"answers something else", 1, "M3", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rtsRaised = 0;
    fake->ClearCalls();
    Device(true, c.answerAt, c.answer);
    EXPECT_EQ(com.GetPNPDeviceString(), c.expected);
    EXPECT_EQ(rtsRaised, c.answerAt == 1 ? 1 : 2);
    EXPECT_FALSE(com.Active());
    // Opened at the component's settings, read at 1200 baud, given its settings back.
    const std::vector<std::string> states = States();
    ASSERT_GE(states.size(), 3u);
    EXPECT_EQ(states.front(), "9600");
    EXPECT_NE(std::find(states.begin(), states.end(), "1200"), states.end());
    EXPECT_EQ(states.back(), "9600");
    EXPECT_EQ(com.ByteSize(), 8);
    EXPECT_EQ(com.BaudRate(), 9600u);
    EXPECT_EQ(com.TraceStates(), tsCTS);
  }
}

TEST_F(Pnp, AnOpenPortStaysOpen) {
  Device(true, 1, "(A)");
  com.SetActive(true);
  EXPECT_EQ(com.GetPNPDeviceString(), "(A)");
  EXPECT_TRUE(com.Active());
}

TEST_F(Pnp, WithoutDsrTheConnectErrorIsRaisedAndThePortLeftOpen) {
  Device(false, 1, "(A)");
  try {
    com.GetPNPDeviceString();
    ADD_FAILURE() << "no error";
  } catch (const ESerialError& e) {
    EXPECT_STREQ(e.what(), "Device Connect Initialization Error");
  }
  EXPECT_TRUE(com.Active());
  EXPECT_EQ(rtsRaised, 0);
}

}  // namespace
