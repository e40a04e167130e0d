// The encoder's parameters text, and the queries that only explain or describe.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "core/encoder_access.h"
#include "core/error.h"
#include "support/scratch_folder.h"
#include "tarsin/encoder.h"

namespace tarsin {
namespace {

using testing::Line;
using testing::LogFolder;

TEST(ParametersLet, SetsTheFieldsOfANewEncoder) {
  LogFolder log;
  const struct {
    std::string text;
    std::string device = "<unknown>";
    int32_t protocol = 1;
    bool forceReconnect = false;
    int32_t openMode = 1;
  } cases[] = {{"device=Reader A;protocol=2;open_mode=2;force_reconnect=1", "Reader A", 2, true, 2},
               {"DEVICE = Reader B", " Reader B"},  // key trimmed, value kept as given
               {"  Device  =Reader C ", "Reader C "},
               {"device=A=B", "A=B"},
               {"device", ""},
               {"device=A;device=B;protocol=3;protocol=2", "B", 2},
               {";;device=X;;=3;protocol", "X", 0},
               {"Encoding capabilities=none;unknown=3;devices=Y"},
               {"device=A;B\r\nprotocol=2;open_mode=3\r\n", "A;B", 2},  // with CRLF ";" is data
               {"open_mode=5"},
               {"open_mode=0"},
               {"open_mode=2.4"},
               {"open_mode=2.0", "<unknown>", 1, false, 2},
               {"open_mode=&H3", "<unknown>", 1, false, 3},
               {"force_reconnect=True"},
               {"force_reconnect=-1", "<unknown>", 1, true},
               {"force_reconnect=0.001", "<unknown>", 1, true},
               {"protocol=2.5", "<unknown>", 2},
               {"protocol=3.5", "<unknown>", 4},
               {"protocol=&H2", "<unknown>", 2},
               {"protocol=T=1", "<unknown>", 0},
               {"protocol=99999999999"},  // cannot be taken: the protocol stays as it was
               {"protocol=-1e400"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.text));
    Encoder encoder;
    SetError(StateOf(encoder), {.number = 0x90010F04, .comFunction = "EncoderCommand"});
    encoder.Parameters(c.text);
    const EncoderState& s = StateOf(encoder);
    EXPECT_EQ(s.Device, c.device);
    EXPECT_EQ(s.Protocol, c.protocol);
    EXPECT_EQ(s.ForceReconnect, c.forceReconnect);
    EXPECT_EQ(s.OpenMode, c.openMode);
    EXPECT_EQ(encoder.LastError()->Number, 0);
    EXPECT_EQ(encoder.LastError()->ComFunction, "Parameters");
    EXPECT_EQ(encoder.LastError()->RdrCommand, "");
  }
}

TEST(ParametersGet, NewEncoderAndRoundTrip) {
  LogFolder log;
  Encoder encoder;
  EXPECT_EQ(encoder.Parameters(),
            "Encoding capabilities=Mifare Classic, Mifare Ultralight, Mifare DESFire\r\n"
            "Device=<unknown>\r\nProtocol=1\r\nForce_Reconnect=0\r\nOpen_Mode=1");
  encoder.Parameters("device= ACS;protocol=3;force_reconnect=-1;open_mode=2");
  const std::string text = encoder.Parameters();
  Encoder copy;
  copy.Parameters(text);
  EXPECT_EQ(copy.Parameters(), text);
  EXPECT_EQ(StateOf(copy).Device, " ACS");
}

TEST(ParametersLog, TextIsLoggedLineByLine) {
  LogFolder log;
  const std::string more(18, ' ');
  {
    Encoder encoder;
    encoder.Parameters("device=A;protocol=2");
    encoder.Parameters("device=X\r\n");
  }
  EXPECT_EQ(
      log.lines(),
      (std::vector<std::string>{
          Line(0, "--> Constructor"),
          Line(1,
               "--> Set Parameters = \"Encoding capabilities=Mifare Classic, Mifare "
               "Ultralight"),
          Line(2, more + "Device=<unknown>"), Line(2, more + "Protocol=1"),
          Line(2, more + "Force_Reconnect=False"), Line(2, more + "Open_Mode=1\""),
          Line(1, "<-- Set Parameters"), Line(1, "--> Let ATRString"), Line(1, "<-- Let ATRString"),
          Line(0, "<-- Constructor"), Line(0, "--> Set Parameters = \"device=A;protocol=2\""),
          Line(0, "<-- Set Parameters"), Line(0, "--> Set Parameters = \"device=X"),
          Line(1, more + "\""), Line(0, "<-- Set Parameters"), Line(0, "--> Destructor"),
          Line(1, "--> CloseEncoderQuietly"), Line(2, "--> Let ATRString"),
          Line(2, "<-- Let ATRString"), Line(1, "<-- CloseEncoderQuietly"),
          Line(0, "<-- Destructor")}));
}

TEST(GetResponseText, ExplainsWithoutLoggingOrTouchingTheError) {
  LogFolder log;
  Encoder encoder;
  SetError(StateOf(encoder), {.number = 0x90010F04, .comFunction = "EncoderCommand"});
  const size_t linesBefore = log.lines().size();
  EXPECT_EQ(encoder.GetResponseText("6982", "Host"), "[Aborted]  Security state not satisfied.");
  EXPECT_EQ(log.lines().size(), linesBefore);
  EXPECT_EQ(static_cast<uint32_t>(encoder.LastError()->Number), 0x90010F04u);
  EXPECT_EQ(encoder.LastError()->ComFunction, "EncoderCommand");
}

TEST(GetInformation, FourFieldsAndItsLogLines) {
  LogFolder log;
  Encoder encoder;
  SetError(StateOf(encoder), {.number = 1, .comFunction = "X"});
  const std::string info = encoder.GetInformation();
  EXPECT_TRUE(
      std::regex_match(info, std::regex(R"(Nemora\|Tarsin RF\|(0|[1-9]\d*)(\.(0|[1-9]\d*)){2})"
                                        R"(\|Mifare Classic, Mifare Ultralight, Mifare DESFire)")))
      << info;
  EXPECT_EQ(encoder.LastError()->Number, 0);
  EXPECT_EQ(encoder.LastError()->ComFunction, "GetInformation");
  const std::vector<std::string> lines = log.lines();
  EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
            (std::vector<std::string>{Line(0, "--> GetInformation"),
                                      Line(1, "GetInformation returns: " + info),
                                      Line(0, "<-- GetInformation")}));
}

}  // namespace
}  // namespace tarsin
