// `tarsin-rf run --json --virtual`: what the component returned, one object per call, and an
// exit status that follows the results.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>

#include "support/virtual_reader.h"

namespace tarsin {
namespace {

struct RunResult {
  int status;
  std::vector<nlohmann::json> calls;
};

class CliRun : public testing::VirtualReaderTest {
 protected:
  RunResult Run(const std::string& script, const std::string& flags = "--json --virtual") {
    const auto path = log_.root() / "script.txt";
    std::ofstream(path) << script;
    // --virtual must find the provider by itself.
    provider_.Set(std::nullopt);
    const std::string command =
        std::string(TARSIN_TEST_CLI) + " run " + flags + " '" + path.string() + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    RunResult result{};
    std::string output;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    result.status = WEXITSTATUS(::pclose(pipe));
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
      result.calls.push_back(nlohmann::json::parse(line));
    }
    return result;
  }
};

TEST_F(CliRun, PrintsWhatTheComponentReturned) {
  const RunResult run = Run(
      "' open, identify, read the UID, close\n"
      "Parameters = \"device=Tarsin Virtual Reader 0;protocol=2;open_mode=2\"\n"
      "OpenEncoder 0\n"
      "\n"
      "CardType\n"
      "EscapeExt \"ff ca 00 00 00\", \"\", \"\"\n"
      "Escape \"FFCA000000\", \"\"\n"
      "CloseEncoder\n");
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.calls.size(), 6u);
  EXPECT_EQ(run.calls[0]["member"], "Parameters");
  EXPECT_EQ(run.calls[1]["line"], 3);
  EXPECT_EQ(run.calls[1]["result"], "scesuccess");
  EXPECT_EQ(run.calls[2]["value"], 17);
  EXPECT_EQ(run.calls[3]["outputs"],
            (nlohmann::json{{"Response", "04 A1 B2 C3"}, {"RetCode", "90 00"}}));
  EXPECT_EQ(run.calls[4]["outputs"]["Response"], "04A1B2C3");
  EXPECT_EQ(run.calls[5]["error"]["ComFunction"], "CloseEncoder");
  EXPECT_EQ(run.calls[5]["error"]["Number"], 0);
}

TEST_F(CliRun, TheExitStatusFollowsTheResults) {
  SetCardPresent(false);
  RunResult run = Run(
      "Parameters = \"device=Tarsin Virtual Reader 0;protocol=2\"\n"
      "OpenEncoder 0\n"
      "Escape \"FFCA000000\", \"\"\n"
      "NoSuchMember\n");
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.calls.size(), 4u);
  EXPECT_EQ(run.calls[2]["result"], "sceError");
  // Numbers are numbers: 0x90010F06 as the signed 32-bit value.
  EXPECT_EQ(run.calls[2]["error"]["Number"], static_cast<int32_t>(0x90010F06));
  EXPECT_EQ(run.calls[2]["error"]["RdrCommand"], "SelectCardInRange:SCardConnect");
  EXPECT_EQ(run.calls[3]["dispatch_error"]["Number"], static_cast<int32_t>(0x80020006));

  run = Run("OpenEncoder \"not a number\"\nGetInformation\n", "--json --virtual --stop-on-error");
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.calls.size(), 1u);
  EXPECT_EQ(run.calls[0]["dispatch_error"]["Number"], static_cast<int32_t>(0x80020005));
}

}  // namespace
}  // namespace tarsin
