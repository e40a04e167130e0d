#include "card_fixture.h"

namespace tarsin::sim::testing {
namespace {

// Value file 0: limits -100..100, value 10, limited credit on, free access. File 1: enciphered,
// Read key 1, Write key 2, ReadWrite key 3.
class ValuesTest : public CardTest {
 protected:
  void SetUp() override {
    EnterApplication(0x0F, 4);
    ASSERT_EQ(
        host.Frame(0xCC,
                   Concat({{0x00, 0x00, 0xEE, 0xEE}, Int32(-100), Int32(100), Int32(10), {0x01}}))
            .sw,
        kOk);
    ASSERT_EQ(
        host.Frame(0xCC,
                   Concat({{0x01, 0x03, 0x30, 0x12}, Int32(0), Int32(1000), Int32(500), {0x00}}))
            .sw,
        kOk);
  }

  int32_t Value(uint8_t file = 0) {
    const Answer answer = host.Frame(0x6C, {file});
    EXPECT_EQ(answer.sw, kOk);
    if (answer.data.size() < 4) return INT32_MIN;
    return static_cast<int32_t>(answer.data[0] | answer.data[1] << 8 | answer.data[2] << 16 |
                                static_cast<uint32_t>(answer.data[3]) << 24);
  }

  uint16_t Change(uint8_t instruction, int32_t amount, uint8_t file = 0) {
    return host.Frame(instruction, Concat({{file}, Int32(amount)})).sw;
  }
};

TEST_F(ValuesTest, LimitsAreCheckedAgainstThePendingValue) {
  const struct {
    const char* what;
    uint8_t instruction;
    int32_t amount;
    uint16_t sw;
  } steps[] = {
      {"debit to the lower limit", 0xDC, 110, kOk},  {"one below the lower limit", 0xDC, 1, 0x91BE},
      {"credit to the upper limit", 0x0C, 200, kOk}, {"one above the upper limit", 0x0C, 1, 0x91BE},
      {"negative amount", 0x0C, -1, 0x919E},         {"zero", 0xDC, 0, kOk},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(Change(step.instruction, step.amount), step.sw) << step.what;
  }
  EXPECT_EQ(Value(), 10) << "pending until the commit";
  EXPECT_EQ(host.Frame(0xC7).sw, kOk);
  EXPECT_EQ(Value(), 100);
}

TEST_F(ValuesTest, LimitedCreditGivesBackTheLastDebitsOnce) {
  EXPECT_EQ(Change(0x1C, 1), 0x91BE) << "no debit committed yet";
  ASSERT_EQ(Change(0xDC, 30), kOk);
  ASSERT_EQ(host.Frame(0xC7).sw, kOk);
  EXPECT_EQ(host.Frame(0xF5, {0x00}).data,
            Concat({{0x02, 0x00, 0xEE, 0xEE}, Int32(-100), Int32(100), Int32(30), {0x01}}));
  EXPECT_EQ(Change(0x1C, 31), 0x91BE);
  EXPECT_EQ(Change(0x1C, 30), kOk);
  ASSERT_EQ(host.Frame(0xC7).sw, kOk);
  EXPECT_EQ(Value(), 10);
  EXPECT_EQ(Change(0x1C, 1), 0x91BE) << "used up";
}

TEST_F(ValuesTest, AbortRestoresAndNothingPendingIsReported) {
  EXPECT_EQ(host.Frame(0xC7).sw, 0x910C);
  EXPECT_EQ(host.Frame(0xA7).sw, 0x910C);
  ASSERT_EQ(Change(0xDC, 5), kOk);
  EXPECT_EQ(host.Frame(0xA7).sw, kOk);
  EXPECT_EQ(host.Frame(0xC7).sw, 0x910C);
  EXPECT_EQ(Value(), 10);
}

TEST_F(ValuesTest, EncipheredValueFile) {
  ASSERT_TRUE(host.Authenticate(3, kZeroKey));
  EXPECT_EQ(Change(0x0C, 5, 1), 0x917E) << "plain amount where a cryptogram is due";
  ASSERT_TRUE(host.Authenticate(3, kZeroKey));
  ASSERT_EQ(host.Frame(0x0C, Concat({{0x01}, host.EncipheredData(Int32(250))})).sw, kOk);
  ASSERT_EQ(host.Frame(0xC7).sw, kOk);
  const Answer value = host.Frame(0x6C, {0x01});
  ASSERT_EQ(value.data.size(), 8u);
  const Bytes plain = host.ReceiveCryptogram(value.data);
  EXPECT_EQ(Bytes(plain.begin(), plain.begin() + 4), Int32(750));
}

}  // namespace
}  // namespace tarsin::sim::testing
