// SPDX-License-Identifier: Apache-2.0
#include "core/error.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tarsin {
namespace {

// Every shape of the trail: the routine tagged becomes the function, the inner one joins the
// command; the rest of the error stays.
TEST(ErrorRoutines, TagKeepsTheInnerRoutineInTheTrail) {
  // The function and command before the tag, the command after it.
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"", "", ""},
      {"", "GetUID", "GetUID"},
      {"EncoderCommand", "", "EncoderCommand"},
      {"EncoderCommand", "SCardTransmit:GetUID", "EncoderCommand:SCardTransmit:GetUID"}};
  for (const auto& [comFunction, rdrCommand, expectedCommand] : cases) {
    EncoderState state;
    SetError(state, {.number = 0x90010F04,
                     .description = "Encoder command failed",
                     .comFunction = comFunction,
                     .rdrCommand = rdrCommand,
                     .rdrRetCode = "6A82"});
    TagError(state, "ReadSerialNumber");
    const CError& e = LastErrorOf(state);
    EXPECT_EQ(
        std::tuple(e.ComFunction, e.RdrCommand, static_cast<uint32_t>(e.Number), e.RdrRetCode),
        std::tuple("ReadSerialNumber", expectedCommand, 0x90010F04u, "6A82"));
  }
}

// SetError leaves the fields not given; ClearError resets all but the name it is given.
TEST(ErrorRoutines, SetErrorLeavesFieldsNotGivenAndClearErrorResetsAllButTheName) {
  EncoderState state;
  SetError(state, {.number = 1,
                   .description = "a",
                   .lastDllError = 7,
                   .comFunction = "F",
                   .rdrCommand = "C",
                   .rdrRetCode = "R"});
  SetError(state, {.number = 0x90010F01, .description = "Encoder is closed"});
  const auto fields = [&state] {
    const CError& e = LastErrorOf(state);
    return std::tuple(e.Number, e.Description, e.LastDllError, e.ComFunction, e.RdrCommand,
                      e.RdrRetCode);
  };
  EXPECT_EQ(fields(), std::tuple(-1878978815, "Encoder is closed", 7, "F", "C", "R"));
  ClearError(state, "CardType");
  EXPECT_EQ(fields(), std::tuple(0, "", 0, "CardType", "", ""));
}

}  // namespace
}  // namespace tarsin
