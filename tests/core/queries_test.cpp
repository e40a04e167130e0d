#include <gtest/gtest.h>

#include <regex>

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
  SetError(encoder.state(), {.number = 0x90010F04,
                             .description = "Encoder command failed",
                             .comFunction = "EncoderCommand",
                             .rdrRetCode = "6982"});
  const size_t linesBefore = log.lines().size();
  const std::optional<std::string> caller = "Host";
  EXPECT_EQ(encoder.GetResponseText("6982", caller), "[Aborted]  Security state not satisfied.");
  EXPECT_EQ(encoder.GetResponseText("9000"), "[OK]  Command successfully executed.");
  EXPECT_EQ(log.lines().size(), linesBefore);
  EXPECT_EQ(caller, "Host");
  const CError& e = *encoder.LastError();
  EXPECT_EQ(static_cast<uint32_t>(e.Number), 0x90010F04u);
  EXPECT_EQ(e.ComFunction, "EncoderCommand");
  EXPECT_EQ(e.RdrRetCode, "6982");
}

TEST(GetInformation, FourFieldsAndItsLogLines) {
  LogFolder log;
  Encoder encoder;
  SetError(encoder.state(), {.number = 1, .comFunction = "X"});
  const std::string info = encoder.GetInformation();
  EXPECT_TRUE(std::regex_match(
      info, std::regex(R"(Nemora\|Tarsin RF\|(0|[1-9]\d*)\.(0|[1-9]\d*)\.(0|[1-9]\d*)\|)"
                       R"(Mifare Classic, Mifare Ultralight, Mifare DESFire)")))
      << info;
  EXPECT_EQ(encoder.LastError()->Number, 0);
  EXPECT_EQ(encoder.LastError()->ComFunction, "GetInformation");
  const std::vector<std::string> lines = log.lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
            (std::vector<std::string>{Line(0, "--> GetInformation"),
                                      Line(1, "GetInformation returns: " + info),
                                      Line(0, "<-- GetInformation")}));
}

TEST(LastError, SameObjectAndHostWritesStayUntilTheNextOperation) {
  LogFolder log;
  Encoder encoder;
  std::shared_ptr<CError> error = encoder.LastError();
  EXPECT_EQ(error, encoder.LastError());
  error->Description = "written by the host";
  encoder.WriteLog("not an operation");
  EXPECT_EQ(encoder.LastError()->Description, "written by the host");
  encoder.Parameters("device=R");
  EXPECT_EQ(error->Description, "");
  EXPECT_EQ(error->ComFunction, "Parameters");
}

}  // namespace
}  // namespace tarsin
