// SPDX-License-Identifier: Apache-2.0
// DESFire sessions, applications and keys on the virtual EV1 card, whose cipher is OpenSSL's.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include "core/hex_text.h"
#include "desfire/desfire_fixture.h"

namespace tarsin {
namespace {

using testing::kZeroKey;
constexpr const char* kTripleKey = "00112233445566778899AABBCCDDEEFF";

using DesfireTest = testing::DesfireTest;

TEST_F(DesfireTest, SelectionsWithEveryKeyFormGiveTheSessionKeyOfTheirForm) {
  // The key as the host gives it, as the card holds it, and whether ours takes the triple form.
  const std::tuple<std::string, std::string, bool> rows[] = {
      {kZeroKey, std::string(32, '0'), false},
      {"1", "00000000000000010000000000000001", false},
      {kTripleKey, kTripleKey, true},
      // Halves equal: the card holds a DES key and derives the DES form; we keep the triple form.
      {"0123456789ABCDEF0123456789ABCDEF", "0123456789ABCDEF0123456789ABCDEF", true},
  };
  for (const auto& [key, onCard, tripleForm] : rows) {
    SCOPED_TRACE(key);
    ASSERT_EQ(encoder_.DESFireSelectRoot(kZeroKey), scesuccess);
    ASSERT_EQ(encoder_.DESFireChangeKey(0, kZeroKey, onCard), scesuccess);
    const size_t from = LogSize();
    ASSERT_EQ(encoder_.DESFireSelectApplication(" 00 00 00 ", 0, key), scesuccess);
    const auto frames = SentFrames(from);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0], "905A00000300000000");
    EXPECT_EQ(frames[1], "900A0000010000");
    EXPECT_EQ(frames[2].size(), 44u);
    const DesfireSession& session = StateOf(encoder_).Desfire;
    EXPECT_EQ(session.SessionKey.size(), tripleForm ? 16u : 8u);
    EXPECT_EQ(session.KeyType, tripleForm ? DesfireKeyType::TwoKeyTripleDes : DesfireKeyType::Des);
    EXPECT_EQ(session.CurrentApplicationId, "000000");
    // An enciphered command works only where the card derived the same session key.
    const bool sameForm = tripleForm == (onCard.substr(0, 16) != onCard.substr(16));
    EXPECT_EQ(encoder_.DESFireChangeKey(0, onCard, kZeroKey), sameForm ? scesuccess : sceError);
    EXPECT_EQ(Error().RdrRetCode, sameForm ? "" : "911E");
  }
}

// Up to the card's 28 applications, listed over two frames; then deleted.
TEST_F(DesfireTest, ApplicationsAreCreatedListedAndDeleted) {
  ASSERT_EQ(encoder_.DESFireSelectRoot(kZeroKey), scesuccess);
  ASSERT_EQ(encoder_.DESFireFormat(), scesuccess);
  std::string expected;
  for (int i = 1; i <= 28; ++i) {
    const std::string id = fmt::format("{:06X}", 0xA00000 + i);
    ASSERT_EQ(encoder_.DESFireCreateApplication(id, dfkApplDefault, i % 14 + 1), scesuccess) << i;
    expected += (i > 1 ? "," : "") + id;
  }
  EXPECT_EQ(encoder_.DESFireCreateApplication("B00000", dfkApplDefault, 14), sceError);
  EXPECT_EQ(Error().RdrRetCode, "91CE");  // the card's count exceeded
  const size_t from = LogSize();
  std::string list = "unchanged";
  ASSERT_EQ(encoder_.DESFireGetApplications(list), scesuccess);
  EXPECT_EQ(list, expected);
  EXPECT_EQ(SentFrames(from), (std::vector<std::string>{"906A000000", "90AF000000"}));
  // A refusal costs the card's authentication, as on a real card.
  ASSERT_EQ(encoder_.DESFireSelectRoot(kZeroKey), scesuccess);
  ASSERT_EQ(encoder_.DESFireDeleteApplication("a0 00 01"), scesuccess);
  EXPECT_EQ(encoder_.DESFireDeleteApplication("A00001"), sceError);
  EXPECT_EQ(Error().RdrRetCode, "91A0");
  ASSERT_EQ(encoder_.DESFireSelectRoot(kZeroKey), scesuccess);
  ASSERT_EQ(encoder_.DESFireFormat(), scesuccess);
  ASSERT_EQ(encoder_.DESFireGetApplications(list), scesuccess);
  EXPECT_EQ(list, "");
}

TEST_F(DesfireTest, VersionBytesAreReadOnceAndAnsweredFromTheCache) {
  Variant all;
  ASSERT_EQ(encoder_.DESFireGetVersion(dfvAllData, all), scesuccess);
  const Variant::Bytes bytes = all.asBytes();
  ASSERT_EQ(bytes.size(), 28u);
  EXPECT_EQ(BytesToHex(std::vector<uint8_t>(bytes.begin() + 14, bytes.begin() + 21)),
            "04112233445566");
  const size_t from = LogSize();
  for (int index = 0; index < 28; ++index) {
    Variant one;
    ASSERT_EQ(encoder_.DESFireGetVersion(static_cast<DesfireVersionBytes>(index), one), scesuccess);
    if (index == dfvUID || index == dfvBatchNo) {
      const size_t size = index == dfvUID ? 7 : 5;
      EXPECT_EQ(one, Variant(Variant::Bytes(bytes.begin() + index, bytes.begin() + index + size)));
    } else {
      EXPECT_EQ(one, Variant(bytes[static_cast<size_t>(index)])) << index;
    }
  }
  EXPECT_TRUE(SentFrames(from).empty());
  // 2^(b/2) bytes, half as much again for an odd b; the 4K card says 0x18.
  for (const auto& [b, size] : {std::pair{0x18, 4096}, {0x19, 6144}, {0x1A, 8192}, {0x16, 2048}}) {
    StateOf(encoder_).VersionBytes[dfvSoftwareStorageSize] = static_cast<uint8_t>(b);
    Variant storage;
    ASSERT_EQ(encoder_.DESFireGetVersion(dfvStorageSize, storage), scesuccess);
    EXPECT_EQ(storage, Variant(int32_t{size}));
  }
  EXPECT_EQ(encoder_.DESFireGetVersion(static_cast<DesfireVersionBytes>(28), all), sceError);
  EXPECT_EQ(Error().Number, static_cast<int32_t>(0x90010E40));
}

// Keys changed in both cryptogram forms, with DES and triple-DES keys and sessions, proved by
// authenticating with them; key settings the card then enforces.
TEST_F(DesfireTest, KeysAndKeySettingsAreChangedAndEnforced) {
  const std::string desKey = "0123456789ABCDEF";
  Run({{"DESFireSelectRoot", {kZeroKey}, "ok"},
       {"DESFireCreateApplication", {"112233", dfkApplDefault, 3}, "ok"},
       {"DESFireSelectApplication", {"112233", 0, kZeroKey}, "ok"},
       {"DESFireChangeKey", {1, kZeroKey, kTripleKey}, "ok"},  // XOR form
       {"DESFireChangeKey", {0, kZeroKey, kTripleKey}, "ok"},  // session key
       {"DESFireSelectApplication", {"112233", 0, kTripleKey}, "ok"},
       {"DESFireChangeKey", {2, kZeroKey, desKey}, "ok"},
       {"DESFireSelectApplication", {"112233", 2, desKey}, "ok"},
       {"DESFireGetKeyVersion", {1, -1}, "ok 85"},  // 0x55: the low bits of 00 11 22 .. 77
       {"DESFireSelectApplication", {"112233", 1, kTripleKey}, "ok"},
       {"DESFireGetKeySettings", {-1, -1}, "ok 15 3"},
       {"DESFireSelectApplication", {"112233", 0, kTripleKey}, "ok"},
       {"DESFireChangeKeySettings", {0x0D}, "ok"},
       {"DESFireSelectApplication", {"112233", 1, kTripleKey}, "ok"},
       // Infos now need the master key; the outputs stay as they were.
       {"DESFireGetKeySettings", {15, 3}, "90010E03 91AE 15 3"}});
}

// Every refusal of the operations with the LastError fields it names, late-bound as a host calls.
TEST_F(DesfireTest, RefusalsRecordTheirError) {
  const auto refused = [&](const char* member, automation::Arguments args, uint32_t number) {
    const Refusal refusal = Refused(member, std::move(args), number);
    return refusal.rdrCommand + " " + refusal.rdrRetCode;
  };
  const Variant zero(kZeroKey), none(int32_t{0}), root("000000");
  refused("DESFireGetKeySettings", {none, none}, 0x90010E11);
  refused("DESFireFormat", {}, 0x90010E12);
  for (const char* id : {"12345", "1234G5"})
    refused("DESFireSelectApplication", {Variant(id), none, zero}, 0x90010E20);
  for (const int32_t key : {14, -1})
    refused("DESFireSelectApplication", {root, Variant(key), zero}, 0x90010E31);
  refused("DESFireSelectApplication", {root, none, Variant("00X0")}, 0x90010E33);
  refused("DESFireSelectApplication", {root, none, Variant(std::string(24, '0'))}, 0x90010E32);
  // The card's refusals through the exchange, tagged with the operation's name.
  const std::string transmit = "EncoderCommand:SCardTransmit:";
  EXPECT_EQ(refused("DESFireSelectApplication", {root, none, Variant(kTripleKey)}, 0x90010F04),
            transmit + "DesfireAuthenticate 91AE");
  EXPECT_EQ(refused("DESFireSelectRoot", {Variant("2")}, 0x90010F04),
            "DESFireSelectApplication:" + transmit + "DesfireAuthenticate 91AE");
  EXPECT_EQ(refused("DESFireSelectApplication", {Variant("ABCDEF"), none, zero}, 0x90010F04),
            transmit + "DESFireSelectApplication 91A0");
  EXPECT_EQ(refused("DESFireSelectApplication", {root, Variant(int32_t{13}), zero}, 0x90010F04),
            transmit + "DESFireAuthenticate 9140");

  encoder_.CloseEncoder();  // the first step sends nothing but needs an open encoder
  EXPECT_EQ(refused("DESFireSelectApplication", {root, none, zero}, 0x90010F01),
            "DesfireAuthenticate1 FFFF");
  Open(encoder_);

  // With a session at the card level: a parameter error sets nothing but its own fields.
  ASSERT_EQ(encoder_.DESFireSelectRoot(kZeroKey), scesuccess);
  const Variant app("010203"), settings(int32_t{15}), one(int32_t{1});
  const std::tuple<const char*, automation::Arguments, uint32_t> rows[] = {
      {"DESFireCreateApplication", {root, settings, one}, 0x90010E20},
      {"DESFireDeleteApplication", {Variant("00 00 00")}, 0x90010E20},
      {"DESFireCreateApplication", {app, Variant(int32_t{256}), one}, 0x90010E40},
      {"DESFireCreateApplication", {app, settings, Variant(int32_t{15})}, 0x90010E40},
      {"DESFireCreateApplication", {app, settings, none}, 0x90010E40},
      {"DESFireChangeKey", {one, zero, zero}, 0x90010E31},
      {"DESFireGetKeyVersion", {one, none}, 0x90010E31},
      {"DESFireChangeKey", {none, Variant("00"), zero}, 0x90010E32},
      {"DESFireChangeKey", {none, zero, Variant(std::string(24, '0'))}, 0x90010E32},
      {"DESFireChangeKeySettings", {Variant(int32_t{256})}, 0x90010E40},
      {"DESFireGetVersion", {Variant(int32_t{-3}), none}, 0x90010E40},
  };
  for (const auto& [member, args, number] : rows) {
    SetError(StateOf(encoder_), {.rdrCommand = "kept", .rdrRetCode = "kept"});
    EXPECT_EQ(refused(member, args, number), "kept kept");
  }
  EXPECT_EQ(encoder_.DESFireCreateApplication("010203", static_cast<DesfireKeySettings>(255), 14),
            scesuccess);
  SetError(StateOf(encoder_), {.number = 7});
  ASSERT_EQ(encoder_.DESFireSelectApplication("010203", 0, kZeroKey), scesuccess);
  EXPECT_EQ(Error().Number, 7);  // success leaves LastError alone
  EXPECT_EQ(encoder_.DESFireFormat(), sceError);
  EXPECT_EQ(static_cast<uint32_t>(Error().Number), 0x90010E12u);

  // Answers the exchange accepts but the step does not, and the card's refusals.
  ForceStatusWords(0x9100, 2);  // the selection's answer, then the challenge's
  EXPECT_EQ(refused("DESFireSelectApplication", {app, none, zero}, 0x90010E21),
            "DesfireAuthenticate2 9100");
  for (const uint16_t refusal : {0x919E, 0x91CA, 0x91AE}) {
    ForceStatusWords(refusal);
    EXPECT_EQ(Refused("DESFireGetApplications", {Variant("")}, 0x90010E03).rdrRetCode,
              fmt::format("{:04X}", refusal));
  }
}

}  // namespace
}  // namespace tarsin
