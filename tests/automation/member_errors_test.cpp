// Every number a member leaves in LastError is one its row of the error table lists: each member
// called through the dispatch, with arguments a caller would give and with wrong ones, on a closed
// encoder, on each kind of virtual card and on an empty reader.
#include "automation/member_errors.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "automation/dispatch.h"
#include "support/virtual_reader.h"

namespace tarsin::automation {
namespace {

// Set 0 gives each parameter what a caller would (by its name), set 1 a wrong value, set 2 an
// empty or large one.
std::optional<Variant> ArgumentFor(const Parameter& parameter, int set) {
  static const std::map<std::string_view, Variant> kGood = {
      {"Key", Variant("FFFFFFFFFFFF")},
      {"KeyA", Variant("FFFFFFFFFFFF")},
      {"KeyB", Variant("FFFFFFFFFFFF")},
      {"KeyValue", Variant("0000000000000000")},
      {"OldKey", Variant("0000000000000000")},
      {"NewKey", Variant("0000000000000000")},
      {"ApplicationId", Variant("123456")},
      {"DataString", Variant("0102")},
      {"BlocContents", Variant("00112233445566778899AABBCCDDEEFF")},
      {"Request", Variant("FF CA 00 00 00")},
      {"NewValue", Variant("001")},
      {"BlocNumber", Variant(int32_t{4})},
      {"SectorNumber", Variant(int32_t{1})},
      {"FileNumber", Variant(int32_t{1})},
      {"FileNo", Variant(int32_t{1})},
      {"Length", Variant(int32_t{2})},
      {"FileSize", Variant(int32_t{32})},
      {"NumOfKeys", Variant(int32_t{2})},
      {"RecordSize", Variant(int32_t{4})},
      {"MaxNumOfRecords", Variant(int32_t{3})},
      {"UpperLimit", Variant(int32_t{100})},
      {"InitialValue", Variant(int32_t{10})},
      {"Amount", Variant(int32_t{5})},
      {"KeySettings", Variant(int32_t{0x0F})},
      {"ToByte", Variant(uint8_t{3})},
      {"KeyType", Variant(uint8_t{1})},
      {"IsDataHexaString", Variant(true)},
      {"RequestedInformation", Variant(int32_t{-2})},
      {"Language", Variant("english")}};
  if (set == 0) {
    const auto found = kGood.find(parameter.name);
    if (found != kGood.end()) return found->second;
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
    const std::vector<ErrorEntry>& listed = ErrorsOf(member.name);
    const bool found = std::any_of(listed.begin(), listed.end(),
                                   [&](const ErrorEntry& e) { return e.number == number; });
    EXPECT_TRUE(found) << member.name << " left " << std::hex << number << " ("
                       << encoder.LastError()->Description << "), argument set " << set;
  }

  void EveryMember(Encoder& encoder, int set) {
    for (const Member& member : Members()) {
      // Configure would show a dialog; leaving the session is the pass's last step.
      const std::string_view name = member.name;
      if (name == "Configure" || name == "CloseEncoder" || name == "ReOpenEncoder" ||
          (name == "Parameters" && member.kind == MemberKind::PropertyLet)) {
        continue;
      }
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
