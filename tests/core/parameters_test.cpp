#include <gtest/gtest.h>

#include <string>

#include "core/error.h"
#include "core/log_folder.h"
#include "core/state.h"
#include "tarsin/encoder.h"

namespace tarsin {
namespace {

using testing::Line;
using testing::LogFolder;

struct ParametersCase {
  std::string text;
  std::string device = "<unknown>";
  int32_t protocol = 1;
  bool forceReconnect = false;
  int32_t openMode = 1;
};
void PrintTo(const ParametersCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.text);
}

class ParametersLetTest : public ::testing::TestWithParam<ParametersCase> {
 protected:
  LogFolder log_;
};

TEST_P(ParametersLetTest, SetsTheFieldsOfANewEncoder) {
  const ParametersCase& c = GetParam();
  Encoder encoder;
  SetError(encoder.state(), {.number = 0x90010F04, .comFunction = "EncoderCommand"});
  encoder.Parameters(c.text);
  const EncoderState& s = encoder.state();
  EXPECT_EQ(s.Device, c.device);
  EXPECT_EQ(s.Protocol, c.protocol);
  EXPECT_EQ(s.ForceReconnect, c.forceReconnect);
  EXPECT_EQ(s.OpenMode, c.openMode);
  EXPECT_EQ(encoder.LastError()->Number, 0);
  EXPECT_EQ(encoder.LastError()->ComFunction, "Parameters");
  EXPECT_EQ(encoder.LastError()->RdrCommand, "");
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ParametersLetTest,
    ::testing::Values(ParametersCase{"device=Reader A;protocol=2;open_mode=2;force_reconnect=1",
                                     "Reader A", 2, true, 2},
                      ParametersCase{"DEVICE = Reader B", " Reader B"},
                      ParametersCase{"  Device  =Reader C ", "Reader C "},
                      ParametersCase{"device=A=B", "A=B"}, ParametersCase{"device", ""},
                      ParametersCase{"device=A;device=B;protocol=3;protocol=2", "B", 2},
                      ParametersCase{";;device=X;;=3;protocol", "X", 0},
                      ParametersCase{"Encoding capabilities=none;unknown=3;devices=Y"},
                      // With CRLF the semicolons belong to the values.
                      ParametersCase{"device=A;B\r\nprotocol=2;open_mode=3\r\n", "A;B", 2},
                      ParametersCase{"Device=R\r\n\r\nOpen_Mode=3", "R", 1, false, 3}));

INSTANTIATE_TEST_SUITE_P(
    Numbers, ParametersLetTest,
    ::testing::Values(ParametersCase{"open_mode=5"}, ParametersCase{"open_mode=0"},
                      ParametersCase{"open_mode=2.0", "<unknown>", 1, false, 2},
                      ParametersCase{"open_mode= 3", "<unknown>", 1, false, 3},
                      ParametersCase{"open_mode=&H3", "<unknown>", 1, false, 3},
                      ParametersCase{"open_mode=2.4"}, ParametersCase{"open_mode=-2"},
                      ParametersCase{"force_reconnect=True"},
                      ParametersCase{"force_reconnect=-1", "<unknown>", 1, true},
                      ParametersCase{"force_reconnect=0.001", "<unknown>", 1, true},
                      ParametersCase{"force_reconnect=1e400", "<unknown>", 1, true},
                      ParametersCase{"force_reconnect=0.0"},
                      ParametersCase{"protocol=2.5", "<unknown>", 2},
                      ParametersCase{"protocol=3.5", "<unknown>", 4},
                      ParametersCase{"protocol=&H2", "<unknown>", 2},
                      ParametersCase{"protocol=&h3", "<unknown>", 3},
                      ParametersCase{"protocol=-2.5", "<unknown>", -2},
                      ParametersCase{"protocol=2E0", "<unknown>", 2},
                      ParametersCase{"protocol=T=1", "<unknown>", 0},
                      // Beyond 32 bits the value cannot be taken: the protocol stays as it was.
                      ParametersCase{"protocol=99999999999"}, ParametersCase{"protocol=-1e400"},
                      ParametersCase{"protocol=&HFFFFFFFF"}));

TEST(ParametersGet, NewEncoderAndRoundTrip) {
  LogFolder log;
  Encoder encoder;
  EXPECT_EQ(encoder.Parameters(),
            "Encoding capabilities=Mifare Classic, Mifare Ultralight, Mifare DESFire\r\n"
            "Device=<unknown>\r\nProtocol=1\r\nForce_Reconnect=0\r\nOpen_Mode=1");
  EXPECT_EQ(encoder.LastError()->ComFunction, "Parameters");

  encoder.Parameters("device= ACS;ACR 122;protocol=3;force_reconnect=-1;open_mode=2");
  const std::string text = encoder.Parameters();
  Encoder copy;
  copy.Parameters(text);
  EXPECT_EQ(copy.Parameters(), text);
  EXPECT_EQ(copy.state().Device, " ACS");
  EXPECT_TRUE(copy.state().ForceReconnect);
  EXPECT_EQ(copy.state().OpenMode, 2);
}

TEST(ParametersLog, ConstructionShowsTheDefaultTextLineByLine) {
  LogFolder log;
  { Encoder encoder; }
  const std::string continuation(18, ' ');
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{
                Line(0, "--> Constructor"),
                Line(1,
                     "--> Set Parameters = \"Encoding capabilities=Mifare Classic, Mifare "
                     "Ultralight"),
                Line(2, continuation + "Device=<unknown>"), Line(2, continuation + "Protocol=1"),
                Line(2, continuation + "Force_Reconnect=False"),
                Line(2, continuation + "Open_Mode=1\""), Line(1, "<-- Set Parameters"),
                Line(0, "<-- Constructor"), Line(0, "--> Destructor"), Line(0, "<-- Destructor")}));
}

TEST(ParametersLog, OneLineTextAndTrailingLineEnd) {
  LogFolder log;
  Encoder encoder;
  const size_t before = log.lines().size();
  encoder.Parameters("device=Reader A;protocol=2");
  encoder.Parameters("device=X\r\n");
  encoder.Parameters("");
  std::vector<std::string> lines = log.lines();
  lines.erase(lines.begin(), lines.begin() + static_cast<long>(before));
  EXPECT_EQ(lines, (std::vector<std::string>{
                       Line(0, "--> Set Parameters = \"device=Reader A;protocol=2\""),
                       Line(0, "<-- Set Parameters"),
                       Line(0, "--> Set Parameters = \"device=X"),
                       Line(1, std::string(18, ' ') + "\""),
                       Line(0, "<-- Set Parameters"),
                       Line(0, "--> Set Parameters = \"\""),
                       Line(0, "<-- Set Parameters"),
                   }));
}

}  // namespace
}  // namespace tarsin
