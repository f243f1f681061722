#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "portdialog/port_settings.h"
#include "text/string_table.h"
#include "ui/headless/headless.h"

namespace {

struct PortSettingsTest : ::testing::Test {
  headless::TManualClock clock;
  headless::TApp app{clock};
  headless::TFactory factory{app};
  std::unique_ptr<TForm> main = factory.CreateForm({.Name = "Form_Main"}, nullptr);
  TForm_PortSettings dialog{factory, main.get()};
  headless::TForm& form = dynamic_cast<headless::TForm&>(*dialog.Form);

  headless::TComboBox& Combo(const char* name) { return *form.Find<headless::TComboBox>(name); }
  // Runs the dialog on cfg with the user's actions; what the combo boxes showed comes back.
  std::vector<int> Run(COMMCONFIG& cfg, bool& accepted,
                       const std::function<void(headless::TForm&)>& user) {
    std::vector<int> shown;
    form.ModalAnswer = [&](headless::TForm& f) {
      for (const char* name : {"CB_BaudRate", "CB_ByteSize", "CB_Parity", "CB_StopBits", "CB_Flow"})
        shown.push_back(Combo(name).ItemIndex());
      user(f);
    };
    accepted = dialog.Execute("/dev/ttyUSB0", cfg);
    return shown;
  }
};

DCB MakeDcb(std::uint32_t baud, std::uint8_t bits, std::uint8_t parity, std::uint8_t stop,
            std::uint32_t flags) {
  DCB d;
  d.BaudRate = baud;
  d.ByteSize = bits;
  d.Parity = parity;
  d.StopBits = stop;
  d.Flags = flags;
  return d;
}

TEST_F(PortSettingsTest, DesignTextsAndKeys) {
  EXPECT_EQ(form.Design().BorderStyle, bsDialog);
  EXPECT_EQ(form.Owner(), main.get());
  EXPECT_EQ(dialog.L_BaudRate->Caption(), Str(TS::BitsPerSecond));
  EXPECT_EQ(dialog.L_Flow->Caption(), Str(TS::FlowControlLabel));
  EXPECT_EQ(Combo("CB_Parity").Items(),
            (std::vector<std::string>{"None", "Odd", "Even", "Mark", "Space"}));
  EXPECT_EQ(Combo("CB_StopBits").Items(), (std::vector<std::string>{"1", "1.5", "2"}));
  EXPECT_EQ(Combo("CB_Flow").Items(), (std::vector<std::string>{"None", "Xon/Xoff", "Hardware"}));
  EXPECT_EQ(Combo("CB_ByteSize").Items(), (std::vector<std::string>{"5", "6", "7", "8"}));
  EXPECT_TRUE(form.Find<headless::TButton>("B_Ok")->Design().Default);
  EXPECT_TRUE(form.Find<headless::TButton>("B_Cancel")->Design().Cancel);
  const TBounds cancel = dialog.B_Cancel->Bounds();
  EXPECT_LE(cancel.Left + cancel.Width, form.ClientWidth());
  EXPECT_LE(cancel.Top + cancel.Height, form.ClientHeight());
}

// In every language the program speaks, each label's text fits beside its combo box, and each
// choice fits its box (less the arrow).
TEST_F(PortSettingsTest, EveryLanguageFits) {
  std::vector<std::string> languages = TStringTable::Languages();
  languages.push_back("en");
  for (const std::string& language : languages) {
    SCOPED_TRACE(language);
    UseLanguage(language);
    TForm_PortSettings d(factory, main.get());
    for (const TLabel* l : {d.L_BaudRate, d.L_ByteSize, d.L_Parity, d.L_StopBits, d.L_Flow}) {
      EXPECT_LE(l->TextWidth(l->Caption()), l->Bounds().Width) << l->Caption();
      EXPECT_LT(l->Bounds().Left + l->Bounds().Width, d.CB_BaudRate->Bounds().Left);
    }
    for (const TComboBox* cb : {d.CB_Parity, d.CB_StopBits, d.CB_Flow})
      for (const std::string& item : cb->Items())
        EXPECT_LE(d.L_Parity->TextWidth(item), cb->Bounds().Width - 30) << item;
    EXPECT_EQ(d.B_Cancel->Caption() == "Cancel", language == "en");  // translated
  }
  EXPECT_GE(languages.size(), 5u);
}

TEST_F(PortSettingsTest, ShowsTheDcbAndOkWritesOnlyWhatWasChanged) {
  struct Case {
    const char* what;
    DCB dcb;
    std::vector<int> shown;  // baud, data bits, parity, stop bits, flow control
    std::function<void(PortSettingsTest&)> edit;
    DCB expected;
  };
  const std::uint32_t keep = fDsrSensitivity | fAbortOnError;  // bits the flow choice keeps
  const Case cases[] = {
      {"untouched",
       MakeDcb(9600, 8, NOPARITY, ONESTOPBIT, 0x1011 | keep),
       {6, 3, 0, 0, 0},
       [](PortSettingsTest&) {},
       MakeDcb(9600, 8, NOPARITY, ONESTOPBIT, 0x1011 | keep)},
      {"every field",
       MakeDcb(9600, 8, NOPARITY, ONESTOPBIT, 0x1011 | keep),
       {6, 3, 0, 0, 0},
       [](PortSettingsTest& t) {
         t.Combo("CB_BaudRate").Select(10);  // 115200
         t.Combo("CB_ByteSize").Select(2);   // 7
         t.Combo("CB_Parity").Select(2);     // even
         t.Combo("CB_StopBits").Select(2);   // two
         t.Combo("CB_Flow").Select(2);       // hardware
       },
       MakeDcb(115200, 7, EVENPARITY, TWOSTOPBITS, 0x2015 | fParity | keep)},
      {"parity back to none",
       MakeDcb(19200, 7, ODDPARITY, ONE5STOPBITS, 0x1311 | fParity),
       {7, 2, 1, 1, 1},
       [](PortSettingsTest& t) { t.Combo("CB_Parity").Select(0); },
       MakeDcb(19200, 7, NOPARITY, ONE5STOPBITS, 0x1311)},
      // Values the lists lack show nothing and stay; so does RS485 unless flow is chosen.
      {"unlisted values",
       MakeDcb(14400, 4, 7, 5, 0x3011),
       {-1, -1, -1, -1, 0},
       [](PortSettingsTest&) {},
       MakeDcb(14400, 4, 7, 5, 0x3011)},
      {"RS485 to Xon/Xoff",
       MakeDcb(14400, 8, NOPARITY, ONESTOPBIT, 0x3011),
       {-1, 3, 0, 0, 0},
       [](PortSettingsTest& t) { t.Combo("CB_Flow").Select(1); },
       MakeDcb(14400, 8, NOPARITY, ONESTOPBIT, 0x1311)},
      {"hardware to none",
       MakeDcb(9600, 8, NOPARITY, ONESTOPBIT, 0x2015 | keep),
       {6, 3, 0, 0, 2},
       [](PortSettingsTest& t) { t.Combo("CB_Flow").Select(0); },
       MakeDcb(9600, 8, NOPARITY, ONESTOPBIT, 0x1011 | keep)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    COMMCONFIG cfg;
    cfg.dcb = c.dcb;
    cfg.dcb.XonLim = 80;
    bool accepted = false;
    const auto shown = Run(cfg, accepted, [&](headless::TForm& f) {
      c.edit(*this);
      f.Press(headless::TKey::Return);
    });
    EXPECT_TRUE(accepted);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(form.Caption(), Str(TS::PortSettingsCaption, {"/dev/ttyUSB0"}));
    EXPECT_EQ(cfg.dcb.BaudRate, c.expected.BaudRate);
    EXPECT_EQ(cfg.dcb.ByteSize, c.expected.ByteSize);
    EXPECT_EQ(cfg.dcb.Parity, c.expected.Parity);
    EXPECT_EQ(cfg.dcb.StopBits, c.expected.StopBits);
    EXPECT_EQ(cfg.dcb.Flags, c.expected.Flags) << std::hex << cfg.dcb.Flags;
    EXPECT_EQ(cfg.dcb.XonLim, 80);  // what the dialog does not show stays
  }
}

TEST_F(PortSettingsTest, CancelEscapeAndTheTitleBarChangeNothing) {
  const std::pair<const char*, std::function<void(headless::TForm&)>> ways[] = {
      {"Cancel", [](headless::TForm& f) { f.Find<headless::TButton>("B_Cancel")->Click(); }},
      {"Escape", [](headless::TForm& f) { f.Press(headless::TKey::Escape); }},
      {"title bar", [](headless::TForm& f) { f.Close(); }},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.first);
    const auto& dismiss = way.second;  // a structured binding cannot be captured by clang 14
    COMMCONFIG cfg;
    cfg.dcb = MakeDcb(9600, 8, NOPARITY, ONESTOPBIT, 0x2015);
    const COMMCONFIG before = cfg;
    bool accepted = true;
    Run(cfg, accepted, [&](headless::TForm& f) {
      Combo("CB_BaudRate").Select(0);
      Combo("CB_Flow").Select(1);
      dismiss(f);
    });
    EXPECT_FALSE(accepted);
    EXPECT_EQ(std::memcmp(&cfg, &before, sizeof cfg), 0);
    EXPECT_FALSE(form.Visible());
  }
}

// The component shows the dialog with its own settings and takes what the user chose: the
// protocol and RS485 mode follow the flag word.
TEST_F(PortSettingsTest, TheComponentsProtocolAndRs485FollowTheChoice) {
  struct Case {
    TStreamProtocol protocol;
    bool rs485;
    int pick;  // flow control chosen, -1: left as shown
    bool accept;
    TStreamProtocol expected;
    bool expectedRs485;
  };
  const Case cases[] = {
      {spHardware, false, 1, true, spXonXoff, false},
      {spXonXoff, false, 0, true, spNone, false},
      {spNone, false, 2, true, spHardware, false},
      {spNone, true, -1, true, spNone, true},
      {spNone, true, 2, true, spHardware, false},
      {spHardware, false, 0, false, spHardware, false},
      {spNone, true, 1, false, spNone, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.protocol << c.rs485 << c.pick << c.accept);
    TsrComm com;
    com.SetDeviceDatabase(nullptr);
    com.SetComPortNo(7);
    com.SetBaudRate(4800);
    com.SetStreamProtocol(c.protocol);
    com.SetRS485Mode(c.rs485);
    com.SetConfigDialog(&dialog);
    std::vector<int> shown;
    form.ModalAnswer = [&](headless::TForm& f) {
      shown = {Combo("CB_BaudRate").ItemIndex(), Combo("CB_Flow").ItemIndex()};
      if (c.pick >= 0) Combo("CB_Flow").Select(c.pick);
      Combo("CB_BaudRate").Select(9);  // 57600
      f.Press(c.accept ? headless::TKey::Return : headless::TKey::Escape);
    };
    EXPECT_EQ(com.ConfigDialog(), c.accept);
    EXPECT_EQ(form.Caption(), Str(TS::PortSettingsCaption, {"COM7"}));
    EXPECT_EQ(shown[0], 5);  // 4800
    EXPECT_EQ(shown[1], c.rs485 ? 0 : c.protocol);
    EXPECT_EQ(com.StreamProtocol(), c.expected);
    EXPECT_EQ(com.RS485Mode(), c.expectedRs485);
    EXPECT_EQ(com.BaudRate(), c.accept ? 57600u : 4800u);
    // The flag word is the one the component would build for what it now reads.
    EXPECT_EQ(com.Dcb().Flags,
              FlowControlFlags(com.Dcb().Flags, com.StreamProtocol(), com.RS485Mode()));
  }
}

}  // namespace
