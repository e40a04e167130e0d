// SPDX-License-Identifier: Apache-2.0
// Every number a member leaves in LastError is in its row of the error table: each member through
// the dispatch, with good and wrong arguments, closed, on each kind of virtual card, on no card.
#include "automation/member_errors.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "automation/dispatch.h"
#include "support/virtual_reader.h"

namespace tarsin::automation {
namespace {

// Set 0: what a caller would give, by parameter name, as text the dispatch coerces.
constexpr std::string_view kGood =
    " Key=FFFFFFFFFFFF KeyA=FFFFFFFFFFFF KeyB=FFFFFFFFFFFF KeyValue=0000000000000000"
    " OldKey=0000000000000000 NewKey=0000000000000000 ApplicationId=123456 DataString=0102"
    " BlocContents=00112233445566778899AABBCCDDEEFF Request=FFCA000000 NewValue=001 BlocNumber=4"
    " SectorNumber=1 FileNumber=1 FileNo=1 Length=2 FileSize=32 NumOfKeys=2 RecordSize=4"
    " MaxNumOfRecords=3 UpperLimit=100 InitialValue=10 Amount=5 KeySettings=15 ToByte=3 KeyType=1"
    " RequestedInformation=-2 Language=english ";

// Set 0 as above, set 1 a wrong value, set 2 an empty or large one.
std::optional<Variant> ArgumentFor(const Parameter& parameter, int set) {
  const size_t at = kGood.find(" " + std::string(parameter.name) + "=");
  if (set == 0 && at != std::string_view::npos) {
    const size_t from = at + parameter.name.size() + 2;
    return Variant(std::string(kGood.substr(from, kGood.find(' ', from) - from)));
  }
  switch (parameter.type) {
    case ValueType::String:
      return Variant(set == 1 ? "zz" : "");
    case ValueType::Long:
      return Variant(set == 1 ? int32_t{-1} : set == 2 ? int32_t{100000} : int32_t{0});
    case ValueType::Byte:
      return Variant(uint8_t(set == 1 ? 255 : 0));
    case ValueType::Boolean:
      return Variant(set == 2);
    default:
      return Variant();
  }
}

class MemberErrors : public testing::VirtualReaderTest {
 protected:
  // Calls `member` with argument set `set` (or `args`) and checks the number it leaves.
  void Check(Encoder& encoder, const Member& member, int set) {
    Arguments args;
    for (const Parameter& parameter : member.parameters)
      args.push_back(ArgumentFor(parameter, set));
    Check(encoder, member, args, set);
  }
  void Check(Encoder& encoder, const Member& member, Arguments args, int set) {
    // What this call leaves, not what an earlier one left.
    encoder.LastError()->Number = 0;
    try {
      Invoke(encoder, member, args);
    } catch (const ComError&) {
      // A late-bound refusal (ReaderType while closed) is the caller's error, not LastError's.
    }
    const uint32_t number = static_cast<uint32_t>(encoder.LastError()->Number);
    if (number == 0) return;
    const bool found = std::ranges::any_of(ErrorsOf(member.name),
                                           [&](const ErrorEntry& e) { return e.number == number; });
    EXPECT_TRUE(found) << member.name << " left " << std::hex << number << " ("
                       << encoder.LastError()->Description << "), argument set " << set;
  }

  void EveryMember(Encoder& encoder, int set) {
    for (const Member& member : Members()) {
      // Configure would show a dialog; leaving the session is the pass's last step.
      const std::string_view name = member.name;
      if (name == "Configure" || name == "CloseEncoder" || name == "ReOpenEncoder" ||
          (name == "Parameters" && member.kind == MemberKind::PropertyLet))
        continue;
      Check(encoder, member, set);
    }
  }
};

TEST_F(MemberErrors, EveryNumberLeftIsListed) {
  readers_.WriteReaders(
      {testing::Reader(testing::kReader, testing::Classic1K()),
       testing::Reader("Ultralight", {{"type", "mifare-ultralight"}}),
       testing::Reader("DESFire", {{"type", "mifare-desfire-ev1-4k"}, {"uid", "04112233445566"}}),
       testing::Reader("Empty", nullptr)});
  for (int set = 0; set < 3; ++set) {
    Encoder closed;
    EveryMember(closed, set);
    if (set == 0) {  // no display: the dialog cannot be shown
      const testing::ScopedEnvironment platform("QT_QPA_PLATFORM", "offscreen");
      Check(closed, FindMember("Configure"), set);
    }
    for (const char* reader : {testing::kReader, "Ultralight", "DESFire", "Empty", "Missing"}) {
      Encoder encoder;
      Check(encoder, FindMember("Parameters", true),
            {Variant("device=" + std::string(reader) + ";protocol=2;open_mode=2")}, set);
      Check(encoder, FindMember("OpenEncoder"), set);
      EveryMember(encoder, set);
      Check(encoder, FindMember("ReOpenEncoder"), set);
      Check(encoder, FindMember("CloseEncoder"), set);
    }
  }
}

}  // namespace
}  // namespace tarsin::automation
