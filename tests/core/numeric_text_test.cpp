#include "core/numeric_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace tarsin {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct NumericCase {
  std::string text;
  double value;
};
void PrintTo(const NumericCase& c, std::ostream* os) {
  *os << '"' << c.text.substr(0, 24) << '"';
}

class NumericValueTest : public ::testing::TestWithParam<NumericCase> {};

TEST_P(NumericValueTest, ReadsTheNumberAtTheStart) {
  EXPECT_EQ(NumericValue(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(NoNumber, NumericValueTest,
                         ::testing::Values(NumericCase{"", 0}, NumericCase{"   ", 0},
                                           NumericCase{"True", 0}, NumericCase{"False", 0},
                                           NumericCase{"- 7", 0}, NumericCase{"--1", 0},
                                           NumericCase{"+-1", 0}, NumericCase{".", 0},
                                           NumericCase{"-.", 0}, NumericCase{"e5", 0},
                                           NumericCase{"0x10", 0}, NumericCase{"& H10", 0},
                                           NumericCase{"&", 0}, NumericCase{"&H", 0},
                                           NumericCase{"&HG1", 0}, NumericCase{"&O17", 0}));

INSTANTIATE_TEST_SUITE_P(Decimal, NumericValueTest,
                         ::testing::Values(NumericCase{"12", 12}, NumericCase{"  12abc", 12},
                                           NumericCase{"\t3", 3}, NumericCase{"+7", 7},
                                           NumericCase{"-7", -7}, NumericCase{"007", 7},
                                           NumericCase{"1.5", 1.5}, NumericCase{".5", 0.5},
                                           NumericCase{"5.", 5}, NumericCase{"-.25", -0.25},
                                           NumericCase{"1.2.3", 1.2}, NumericCase{"1,5", 1},
                                           NumericCase{"2 3", 2}));

INSTANTIATE_TEST_SUITE_P(Exponent, NumericValueTest,
                         ::testing::Values(NumericCase{"1e3", 1000}, NumericCase{"1E+3", 1000},
                                           NumericCase{"25e-1", 2.5}, NumericCase{"-2.5E1", -25},
                                           NumericCase{".5e1", 5}, NumericCase{"1e", 1},
                                           NumericCase{"1e+", 1}, NumericCase{"1e-x", 1},
                                           NumericCase{"2.5e1x", 25}, NumericCase{"1d2", 1},
                                           NumericCase{"0e99999", 0}));

INSTANTIATE_TEST_SUITE_P(Hexadecimal, NumericValueTest,
                         ::testing::Values(NumericCase{"&H2", 2}, NumericCase{"&h10", 16},
                                           NumericCase{"&Hff", 255}, NumericCase{"&HFF", 255},
                                           NumericCase{" &H10", 16}, NumericCase{"&H1F2G", 498},
                                           NumericCase{"&HFFFFFFFF", 4294967295.0}));

INSTANTIATE_TEST_SUITE_P(
    BeyondADouble, NumericValueTest,
    ::testing::Values(NumericCase{"1e400", kInfinity}, NumericCase{"-1e400", -kInfinity},
                      NumericCase{"1" + std::string(400, '0'), kInfinity},
                      NumericCase{"1e99999999999999999999", kInfinity},
                      NumericCase{"&H" + std::string(300, 'F'), kInfinity},
                      NumericCase{"1e-400", 0}, NumericCase{"-1e-400", 0},
                      NumericCase{"0." + std::string(400, '0') + "1", 0},
                      NumericCase{"0." + std::string(400, '0') + "1e800", kInfinity},
                      NumericCase{"0." + std::string(400, '0') + "1e500", 1e99},
                      NumericCase{std::string(400, '0') + "1", 1}));

struct RoundCase {
  double value;
  std::optional<int32_t> rounded;
};
void PrintTo(const RoundCase& c, std::ostream* os) {
  *os << c.value;
}

class RoundToInt32Test : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundToInt32Test, RoundsHalvesToEvenWithinRange) {
  EXPECT_EQ(RoundToInt32(GetParam().value), GetParam().rounded) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    All, RoundToInt32Test,
    ::testing::Values(RoundCase{2.5, 2}, RoundCase{3.5, 4}, RoundCase{0.5, 0}, RoundCase{1.5, 2},
                      RoundCase{-2.5, -2}, RoundCase{-3.5, -4}, RoundCase{-0.5, 0},
                      RoundCase{2.4999, 2}, RoundCase{2.5001, 3}, RoundCase{-2.6, -3},
                      RoundCase{2147483647.4, 2147483647}, RoundCase{2147483647.5, std::nullopt},
                      RoundCase{-2147483648.5, -2147483648}, RoundCase{-2147483649.0, std::nullopt},
                      RoundCase{1e300, std::nullopt}, RoundCase{kInfinity, std::nullopt},
                      RoundCase{-kInfinity, std::nullopt},
                      RoundCase{std::numeric_limits<double>::quiet_NaN(), std::nullopt}));

}  // namespace
}  // namespace tarsin
