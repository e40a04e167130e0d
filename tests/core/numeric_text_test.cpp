#include "core/numeric_text.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace tarsin {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(NumericValue, ReadsTheNumberAtTheStartOnly) {
  const std::string zeros(400, '0');
  const struct {
    std::string text;
    double value;
  } cases[] = {// No number at the start.
               {"", 0},
               {"  ", 0},
               {"True", 0},
               {"- 7", 0},
               {"+-1", 0},
               {".", 0},
               {"e5", 0},
               {"0x10", 0},
               {"& H1", 0},
               {"&H", 0},
               {"&HG1", 0},
               // Decimal, with the reading stopping at the first character that does not fit.
               {"  12abc", 12},
               {"\t3", 3},
               {"-7", -7},
               {"+.5", 0.5},
               {"5.", 5},
               {"1.2.3", 1.2},
               {"1,5", 1},
               {"2 3", 2},
               {"007", 7},
               // Exponent, taken only when it has digits.
               {"25e-1", 2.5},
               {"-2.5E+1", -25},
               {"1e", 1},
               {"1e+", 1},
               {"1e-x", 1},
               {"1d2", 1},
               // Hexadecimal.
               {"&H2", 2},
               {" &hff", 255},
               {"&H1F2G", 498},
               {"&HFFFFFFFF", 4294967295.0},
               // Beyond a double: saturated, never undefined.
               {"-1e400", -kInfinity},
               {"1" + zeros, kInfinity},
               {"1e99999999999999999999", kInfinity},
               {"&H" + std::string(300, 'F'), kInfinity},
               {"1e-400", 0},
               {"0." + zeros + "1", 0},
               {"0." + zeros + "1e500", 1e99},
               {zeros + "1", 1},
               {"0e99999", 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(NumericValue(c.text), c.value) << '"' << c.text.substr(0, 30) << '"';
  }
}

TEST(RoundToInt32, HalvesToEvenAndNothingBeyond32Bits) {
  const struct {
    double value;
    std::optional<int32_t> rounded;
  } cases[] = {{2.5, 2},
               {3.5, 4},
               {-2.5, -2},
               {-3.5, -4},
               {0.5, 0},
               {2.5001, 3},
               {-2.6, -3},
               {2147483647.4, 2147483647},
               {2147483647.5, std::nullopt},
               {-2147483648.5, -2147483648},
               {-2147483649.0, std::nullopt},
               {kInfinity, std::nullopt},
               {std::numeric_limits<double>::quiet_NaN(), std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(RoundToInt32(c.value), c.rounded) << c.value;
}

}  // namespace
}  // namespace tarsin
