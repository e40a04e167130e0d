#include "core/error.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace tarsin {
namespace {

// Every shape of the trail: the routine tagged becomes the function, the inner one joins the
// command; the rest of the error stays.
TEST(ErrorRoutines, TagKeepsTheInnerRoutineInTheTrail) {
  const struct {
    const char *comFunction, *rdrCommand, *expectedCommand;
  } cases[] = {{"", "", ""},
               {"", "GetUID", "GetUID"},
               {"EncoderCommand", "", "EncoderCommand"},
               {"EncoderCommand", "SCardTransmit:GetUID", "EncoderCommand:SCardTransmit:GetUID"}};
  for (const auto& c : cases) {
    EncoderState state;
    SetError(state, {.number = 0x90010F04,
                     .description = "Encoder command failed",
                     .comFunction = c.comFunction,
                     .rdrCommand = c.rdrCommand,
                     .rdrRetCode = "6A82"});
    TagError(state, "ReadSerialNumber");
    const CError& e = LastErrorOf(state);
    EXPECT_EQ(e.ComFunction, "ReadSerialNumber");
    EXPECT_EQ(e.RdrCommand, c.expectedCommand);
    EXPECT_EQ(static_cast<uint32_t>(e.Number), 0x90010F04u);
    EXPECT_EQ(e.RdrRetCode, "6A82");
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

// Every number is unique, belongs to its family, and is found again by its number; only the two
// "Cannot open encoder" numbers share a description.
TEST(ErrorCatalogue, NumbersAreUniqueAndGrouped) {
  std::set<uint32_t> numbers;
  std::set<std::string_view> descriptions;
  for (const ErrorEntry& entry : kErrorCatalogue) {
    EXPECT_TRUE(numbers.insert(entry.number).second) << std::hex << entry.number;
    descriptions.insert(entry.description);
    EXPECT_FALSE(entry.description.empty());
    EXPECT_EQ(FindError(entry.number), &entry);
    const uint32_t family = entry.number & 0xFFFFFF00u;
    const bool grouped = family == 0x90010B00u || family == 0x90010E00u || family == 0x90010F00u ||
                         family == 0xA0010000u || entry.number < 1000;
    EXPECT_TRUE(grouped) << std::hex << entry.number;
  }
  // Shared: "Cannot open encoder" (0x90010F02, 0x90010F03), "File not found" (53, 0x90010E4D).
  EXPECT_EQ(descriptions.size() + 2, numbers.size());
  EXPECT_EQ(FindError(0x90010F07), nullptr);
}

}  // namespace
}  // namespace tarsin
