#include "automation/dispatch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace tarsin::automation {
namespace {

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The encoder logs; keep its file out of the user's folders.
    folder_ = std::filesystem::temp_directory_path() / "tarsin-dispatch-test";
    std::filesystem::create_directories(folder_);
    setenv("XDG_DATA_HOME", folder_.c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  int32_t ErrorOf(const std::function<void()>& call) {
    try {
      call();
    } catch (const ComError& e) {
      return e.number();
    }
    return 0;
  }

  std::filesystem::path folder_;
};

TEST_F(DispatchTest, TheInterfaceHasItsSixtyFiveMembersInOrder) {
  const auto members = Members();
  ASSERT_EQ(members.size(), 65u);
  for (size_t i = 0; i < members.size(); ++i) EXPECT_EQ(members[i].index, static_cast<int>(i));
  EXPECT_EQ(members[0].kind, MemberKind::PropertyLet);
  EXPECT_EQ(members[1].kind, MemberKind::PropertyGet);
  EXPECT_EQ(members[15].name, "OpenEncoder");
  EXPECT_EQ(members[64].name, "DESFireLimitedCredit");
}

TEST_F(DispatchTest, NamesAreFoundWithoutRegardToCase) {
  EXPECT_EQ(FindMember("openencoder").index, 15);
  EXPECT_EQ(FindMember("PARAMETERS", true).index, 0);
  EXPECT_EQ(FindMember("Parameters", false).index, 1);
  EXPECT_EQ(ErrorOf([] { FindMember("OpenEncoders"); }), kDispUnknownName);
  EXPECT_EQ(ErrorOf([] { MemberAt(65); }), kDispMemberNotFound);
}

TEST_F(DispatchTest, ArgumentsAreCoercedOrRefusedLikeLateBinding) {
  Encoder encoder;
  Arguments args{Variant("device=Reader A;protocol=&H2")};
  Invoke(encoder, FindMember("Parameters", true), args);
  Arguments none;
  const Variant text = Invoke(encoder, FindMember("Parameters"), none);
  EXPECT_NE(text.asString().find("Device=Reader A"), std::string::npos);
  EXPECT_NE(text.asString().find("Protocol=2"), std::string::npos);

  // A number where a string is declared becomes its decimal text.
  Arguments number{Variant(int32_t{1234})};
  Invoke(encoder, FindMember("WriteLog"), number);

  const struct {
    Variant value;
    int32_t error;
  } handles[] = {
      {Variant("12"), 0},
      {Variant(2.5), 0},
      {Variant("abc"), kDispTypeMismatch},
      {Variant(3e10), kDispOverflow},
      {Variant(int64_t{1} << 40), kDispOverflow},
      {Variant(Variant::Array{}), kDispTypeMismatch},
  };
  for (const auto& h : handles) {
    // Coercion is checked before the member runs, so nothing is opened on a refusal.
    Arguments a{h.value};
    if (h.error != 0) {
      EXPECT_EQ(ErrorOf([&] { Invoke(encoder, FindMember("OpenEncoder"), a); }), h.error);
    } else {
      EXPECT_EQ(ToLong(h.value), h.value.isString() ? 12 : 2);
    }
  }
}

TEST_F(DispatchTest, ArgumentCountsAreChecked) {
  Encoder encoder;
  Arguments tooMany{Variant("a"), Variant("b")};
  EXPECT_EQ(ErrorOf([&] { Invoke(encoder, FindMember("WriteLog"), tooMany); }),
            kDispBadParamCount);
  Arguments tooFew;
  EXPECT_EQ(ErrorOf([&] { Invoke(encoder, FindMember("GetResponseText"), tooFew); }),
            kDispBadParamCount);
  Arguments optionalLeftOut{Variant("9000"), std::nullopt};
  EXPECT_EQ(Invoke(encoder, FindMember("GetResponseText"), optionalLeftOut).kind(),
            Variant::Kind::String);
}

TEST_F(DispatchTest, ReaderTypeWhileClosedFailsTheCall) {
  Encoder encoder;
  Arguments none;
  EXPECT_EQ(ErrorOf([&] { Invoke(encoder, FindMember("ReaderType"), none); }),
            static_cast<int32_t>(0x90010F01));
  EXPECT_EQ(static_cast<uint32_t>(encoder.LastError()->Number), 0x90010F01u);
}

TEST(Coercion, HalvesRoundToEvenAndBooleansAreMinusOne) {
  EXPECT_EQ(ToLong(Variant(2.5)), 2);
  EXPECT_EQ(ToLong(Variant(3.5)), 4);
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
