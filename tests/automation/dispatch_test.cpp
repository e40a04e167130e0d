// SPDX-License-Identifier: Apache-2.0
#include "automation/dispatch.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/virtual_reader.h"

namespace tarsin::automation {
namespace {

int32_t ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const ComError& e) {
    return e.number();
  }
  return 0;
}

using DispatchTest = testing::VirtualReaderTest;

// Names and indices in order: docs/members.md, which the docs.members test keeps; here lookups.
TEST_F(DispatchTest, MembersFoundWithoutRegardToCase) {
  EXPECT_EQ(FindMember("openencoder").index, 15);
  EXPECT_EQ(FindMember("PARAMETERS", true).index, 0);
  EXPECT_EQ(FindMember("Parameters", false).index, 1);
  EXPECT_EQ(ErrorOf([] { FindMember("OpenEncoders"); }), kDispUnknownName);
  EXPECT_EQ(ErrorOf([] { MemberAt(static_cast<int>(Members().size())); }), kDispMemberNotFound);
}

// Error fields by index, an object as a value. The live object: CAbi.LastErrorIsLiveAndWritable.
TEST_F(DispatchTest, ErrorFieldsByIndexAndTheObjectNeverAsAValue) {
  Encoder encoder;
  Arguments none;
  const Variant kept = Invoke(encoder, FindMember("LastError"), none);
  ASSERT_EQ(kept.kind(), Variant::Kind::Object);
  Arguments uid{Variant("")};
  Invoke(encoder, FindMember("ReadSerialNumber"), uid);
  EXPECT_EQ(GetErrorField(*kept.asObject(), ErrorFieldAt(0)), Variant(int32_t(0x90010F01)));
  EXPECT_EQ(GetErrorField(*kept.asObject(), ErrorFieldAt(3)), Variant("ReadSerialNumber"));
  EXPECT_EQ(ErrorOf([&] { LetErrorField(*kept.asObject(), ErrorFieldAt(2), Variant("x")); }),
            kDispTypeMismatch);
  EXPECT_EQ(ErrorOf([] { ErrorFieldAt(6); }), kDispMemberNotFound);
  EXPECT_EQ(ErrorOf([&] { ToString(kept); }), kDispTypeMismatch);
}

TEST_F(DispatchTest, ArgumentsAreCoercedOrRefusedLikeLateBinding) {
  Encoder encoder;
  // A number where a string is declared becomes its decimal text.
  Arguments number{Variant(int32_t{1234})};
  Invoke(encoder, FindMember("WriteLog"), number);
  EXPECT_TRUE(LogLines().back().ends_with(" 1234")) << LogLines().back();

  // A value, the error it gives (0: the call goes through with the handle that follows).
  const std::tuple<Variant, int32_t, int32_t> handles[] = {
      {Variant("12"), 0, 12},
      {Variant(2.5), 0, 2},
      {Variant(3e10), kDispOverflow, 0},
      {Variant(int64_t{1} << 40), kDispOverflow, 0},
      {Variant(Variant::Array{}), kDispTypeMismatch, 0}};
  encoder.Parameters("device=" + std::string(testing::kReader) + ";protocol=2");
  for (const auto& [value, error, handle] : handles) {
    // Coercion is checked before the member runs, so nothing is opened on a refusal.
    const size_t logSize = LogSize();
    Arguments a{value};
    EXPECT_EQ(ErrorOf([&] {
                EXPECT_EQ(Invoke(encoder, FindMember("OpenEncoder"), a), Variant(int32_t{0}));
              }),
              error);
    const auto lines = LogLines(logSize);
    const std::string entry = "--> OpenEncoder(" + std::to_string(handle) + ",";
    EXPECT_EQ(error == 0, !lines.empty() && lines[0].find(entry) != std::string::npos);
  }
}

// In/out arguments come back with what the member wrote, enumerations as Long.
TEST_F(DispatchTest, InOutEnumerationsComeBackAsLong) {
  Encoder encoder;
  Open(encoder);
  Arguments trailer{Variant(int32_t{1}), Variant("FFFFFFFFFFFF"), Variant(uint8_t{1}),
                    Variant(uint8_t{0}), Variant(int32_t{0}),     Variant(int32_t{0}),
                    Variant(int32_t{0}), Variant(int32_t{0}),     Variant(uint8_t{0})};
  EXPECT_EQ(Invoke(encoder, FindMember("MifareReadSectorTrailer"), trailer),
            Variant(int32_t{scesuccess}));
  // The transport trailer FF 07 80 69: data blocks open to both keys, key B readable.
  EXPECT_EQ(trailer[3], Variant(uint8_t{1}));
  EXPECT_EQ(trailer[4], Variant(int32_t{scbs_A_ReadWrite + scbs_B_ReadWrite}));
  EXPECT_EQ(trailer[7], Variant(int32_t{scss_A_WriteKeysConditions}));
  EXPECT_EQ(trailer[8], Variant(uint8_t{0x69}));
}

TEST(Coercion, HalvesRoundToEvenAndBooleansAreMinusOne) {
  EXPECT_EQ(ToLong(Variant(3.5)), 4);  // 2.5 to 2: the handle table above
  EXPECT_EQ(ToLong(Variant(true)), -1);
  EXPECT_EQ(ToLong(Variant("  &HFF ")), 255);
  EXPECT_EQ(ToByte(Variant(int32_t{255})), 255);
  EXPECT_THROW(ToByte(Variant(int32_t{256})), ComError);
  EXPECT_THROW(ToByte(Variant(int32_t{-1})), ComError);
  EXPECT_TRUE(ToBoolean(Variant("true")));
  EXPECT_FALSE(ToBoolean(Variant("0")));
  EXPECT_EQ(ToString(Variant(2.5)), "2.5");
  EXPECT_EQ(ToString(Variant(false)), "False");
  EXPECT_THROW(ToString(Variant(Variant::Null{})), ComError);
}

}  // namespace
}  // namespace tarsin::automation
