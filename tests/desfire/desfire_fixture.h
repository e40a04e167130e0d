// A DESFire EV1 4K card on the virtual reader, an encoder opened on it, and one refusal checked
// as a host makes the call: late-bound, by name.
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

  // One call as a host makes it and what came of it: "ok" and each by-ref output's text after a
  // blank, or the error number in hex and the card's status word when there is one.
  std::string Outcome(const char* member, automation::Arguments args) {
    const automation::Member& row = automation::FindMember(member);
    if (automation::Invoke(encoder_, row, args) != Variant(int32_t{scesuccess})) {
      const std::string status = Error().RdrRetCode;
      return fmt::format("{:08X}{}{}", static_cast<uint32_t>(Error().Number),
                         status.empty() ? "" : " ", status);
    }
    std::string outcome = "ok";
    for (size_t i = 0; i < row.parameters.size(); ++i) {
      if (row.parameters[i].byRef) outcome += " " + ElementText(*args[i]).value_or("?");
    }
    return outcome;
  }
  struct Step {
    const char* member;
    automation::Arguments args;
    std::string outcome;
  };
  void Run(std::initializer_list<Step> steps) {
    for (const Step& step : steps)
      EXPECT_EQ(Outcome(step.member, step.args), step.outcome) << step.member;
  }

  Encoder encoder_;
};

}  // namespace tarsin::testing
