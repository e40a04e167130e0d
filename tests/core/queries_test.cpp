#include <gtest/gtest.h>

#include <regex>

#include "core/encoder_access.h"
#include "core/error.h"
#include "core/log_folder.h"
#include "tarsin/encoder.h"

namespace tarsin {
namespace {

using testing::Line;
using testing::LogFolder;

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
