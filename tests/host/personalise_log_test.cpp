// SPDX-License-Identifier: Apache-2.0
// The DESFire personalisation example in-process with a fixed challenge against its recorded log:
// every line and frame the same but time stamps, handles and the bytes of the card's randoms.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>

#include "automation/dispatch.h"
#include "core/encoder_access.h"
#include "host/cli/script.h"
#include "support/virtual_reader.h"

namespace tarsin {
namespace {

const std::string kExamples = TARSIN_TEST_EXAMPLES;

std::vector<std::string> FileLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The exchanges whose frames carry the card's random numbers, or data enciphered with a key
// derived from them, have their runs of hex hidden; the handles are named.
std::vector<std::string> Masked(std::vector<std::string> lines, PcscHandle context,
                                PcscHandle card) {
  static const std::regex kRandomCommand(
      R"(--> EncoderCommand\((DesfireAuthenticate2|DesfireAuthenticate3|DesfireChangeKey)\))");
  static const std::regex kLongHex("[0-9A-F]{16,}");
  const std::regex cardHandle("\\b" + std::to_string(card) + "\\b");
  const std::regex contextHandle("\\b" + std::to_string(context) + "\\b");
  bool hidden = false;
  for (std::string& line : lines) {
    if (line.find("--> EncoderCommand(") != std::string::npos)
      hidden = std::regex_search(line, kRandomCommand);
    if (hidden) line = std::regex_replace(line, kLongHex, "#");
    line = std::regex_replace(std::regex_replace(line, cardHandle, "CARD"), contextHandle, "CTX");
  }
  return lines;
}

using PersonaliseLog = testing::VirtualReaderTest;

TEST_F(PersonaliseLog, MatchesTheRecordedOne) {
  readers_.WriteReaders({testing::Reader(
      testing::kReader, {{"type", "mifare-desfire-ev1-4k"}, {"uid", "045A318A2C3B80"}})});
  Encoder encoder;
  StateOf(encoder).Random = [](std::span<uint8_t> bytes) { std::ranges::fill(bytes, 0x5A); };
  encoder.Parameters("device=" + std::string(testing::kReader) + ";protocol=2;open_mode=2");
  const size_t from = LogSize();
  PcscHandle context = 0, card = 0;
  for (const std::string& line : FileLines(kExamples + "/desfire-personalise.txt")) {
    auto call = cli::ParseScriptLine(line);
    if (!call) continue;
    automation::Invoke(encoder, automation::FindMember(call->member), call->args);
    if (!context) context = StateOf(encoder).hContext, card = StateOf(encoder).hCard;
  }
  ASSERT_NE(context, 0) << "the reader did not open";
  EXPECT_EQ(Masked(LogLines(from), context, card),
            FileLines(TARSIN_TEST_GOLDEN_FOLDER "/desfire-personalise.log"));
}

}  // namespace
}  // namespace tarsin
