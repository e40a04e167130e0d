// SPDX-License-Identifier: Apache-2.0
// A DESFire EV1 4K card on the virtual reader, an encoder on it, and late-bound calls by name.
#pragma once

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "automation/dispatch.h"
#include "core/encoder_access.h"
#include "core/error.h"
#include "core/variant_text.h"
#include "support/virtual_reader.h"

namespace tarsin::testing {

inline constexpr const char* kZeroKey = "0000000000000000";

class DesfireTest : public VirtualReaderTest {
 protected:
  void SetUp() override {
    VirtualReaderTest::SetUp();
    readers_.WriteReaders(
        {Reader(kReader, {{"type", "mifare-desfire-ev1-4k"}, {"uid", "04112233445566"}})});
    Open(encoder_);
  }
  const CError& Error() { return *encoder_.LastError(); }
  // The answer after the next `passing` ones comes back with its last data byte inverted.
  void FlipNextAnswer(size_t passing = 0) {
    auto contents = readers_.Read();
    auto& flips = contents["readers"][0]["faults"]["flipAnswerBytes"];
    flips = std::vector<nlohmann::json>(passing, nullptr);
    flips.push_back(-3);
    readers_.Write(contents);
  }

  struct Refusal {
    std::string rdrCommand;
    std::string rdrRetCode;
    size_t framesSent;
  };
  // Calls `member`, which must fail with `number` under its own name.
  Refusal Refused(const char* member, automation::Arguments args, uint32_t number) {
    SCOPED_TRACE(member);
    const size_t from = LogSize();
    EXPECT_EQ(automation::Invoke(encoder_, automation::FindMember(member), args),
              Variant(int32_t{sceError}));
    EXPECT_EQ(static_cast<uint32_t>(Error().Number), number);
    EXPECT_EQ(Error().ComFunction, member);
    return {Error().RdrCommand, Error().RdrRetCode, SentFrames(from).size()};
  }

  // One call as a host makes it, late-bound, and what came of it: "ok", or the error number in
  // hex and the card's status word; then each by-ref output's text.
  struct Step {
    const char* member;
    automation::Arguments args;
    std::string outcome;
  };
  void Run(std::initializer_list<Step> steps) {
    for (Step step : steps) {
      const automation::Member& row = automation::FindMember(step.member);
      std::string outcome = "ok";
      if (automation::Invoke(encoder_, row, step.args) != Variant(int32_t{scesuccess})) {
        outcome =
            fmt::format("{:08X} {}", static_cast<uint32_t>(Error().Number), Error().RdrRetCode);
        if (outcome.ends_with(' ')) outcome.pop_back();
      }
      for (size_t i = 0; i < row.parameters.size(); ++i)
        if (row.parameters[i].byRef) outcome += " " + ElementText(*step.args[i]).value_or("?");
      EXPECT_EQ(outcome, step.outcome) << step.member;
    }
  }

  Encoder encoder_;
};

}  // namespace tarsin::testing
