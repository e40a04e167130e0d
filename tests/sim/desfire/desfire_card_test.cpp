// SPDX-License-Identifier: Apache-2.0
// The DESFire model's refusals, status words and cryptograms, driven by a host on OpenSSL's DES so
// that it checks the card's cipher rather than sharing it. Answers are data and status word in hex.
#include "desfire/desfire_card.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <tuple>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <openssl/des.h>

namespace tarsin::sim {
namespace {

using Key16 = std::array<uint8_t, 16>;
constexpr Key16 kZeroKey{};

Bytes Hex(const std::string& text) {
  return FromHex(text).value();
}
Key16 KeyOf(const std::string& hex) {
  Key16 key{};
  std::ranges::copy(Hex(hex), key.begin());  // up to 16 bytes, zeros after
  return key;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}
std::string Sw(const std::string& answer) {
  return answer.size() >= 4 ? answer.substr(answer.size() - 4) : answer;
}
Bytes DataOf(const std::string& answer) {
  return Hex(answer.substr(0, answer.size() - std::min<size_t>(4, answer.size())));
}
// `data` followed by its CRC (ISO 14443-A, preset 6363 unless told), least significant first.
Bytes WithCrc(Bytes data, uint16_t preset = 0x6363) {
  uint32_t crc = preset;
  for (uint8_t byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0x8408 : crc >> 1;
  }
  return Cat({data, {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8)}});
}

// The host's side of the legacy protocol.
class Host {
 public:
  explicit Host(DesfireCard& card) : card_(card) {}
  // One class-90 frame; `hex` is the instruction and its data.
  std::string Send(const std::string& hex) {
    const Bytes command = Hex(hex);
    return Send(command[0], Bytes(command.begin() + 1, command.end()));
  }
  std::string Send(uint8_t instruction, const Bytes& data = {}) {
    Bytes apdu{0x90, instruction, 0x00, 0x00};
    if (!data.empty()) apdu.push_back(static_cast<uint8_t>(data.size()));
    apdu.insert(apdu.end(), data.begin(), data.end());
    apdu.push_back(0x00);
    return ToHex(card_.Transmit(apdu));
  }
  // Authenticates with a fixed RndA; true when the card's answer checks out.
  bool Authenticate(uint8_t key_number, const Key16& key = kZeroKey) {
    session_ = key;  // the passes run under the key itself, chained as later cryptograms
    const std::string challenge = Send(0x0A, {key_number});
    if (challenge.size() != 20 || Sw(challenge) != "91AF") return false;
    const Bytes rnd_b = Decipher(DataOf(challenge)), rnd_a = Hex("1021324354657687");
    const auto rotated = [](const Bytes& b) {
      return Cat({Bytes(b.begin() + 1, b.end()), {b[0]}});
    };
    const std::string response = Send(0xAF, Encipher(Cat({rnd_a, rotated(rnd_b)})));
    if (Sw(response) != "9100" || Decipher(DataOf(response)) != rotated(rnd_a)) return false;
    const size_t second = std::equal(key.begin(), key.begin() + 8, key.begin() + 8) ? 0 : 4;
    std::copy_n(rnd_a.begin(), 4, session_.begin());
    std::copy_n(rnd_b.begin(), 4, session_.begin() + 4);
    std::copy_n(rnd_a.begin() + second, 4, session_.begin() + 8);
    std::copy_n(rnd_b.begin() + second, 4, session_.begin() + 12);
    return true;
  }
  void SetSessionKey(const Key16& key) { session_ = key; }
  // Host to card: block i = D(p_i XOR c_(i-1)) under the session key (2K3DES), zero padded.
  Bytes Encipher(Bytes plain) const {
    plain.resize((plain.size() + 7) / 8 * 8, 0);
    for (size_t pos = 0; pos < plain.size(); pos += 8) {
      for (size_t i = 0; pos > 0 && i < 8; ++i) plain[pos + i] ^= plain[pos - 8 + i];
      DES_ecb3_encrypt(Block(plain, pos), Block(plain, pos), &Key(0), &Key(1), &Key(0),
                       DES_DECRYPT);
    }
    return plain;
  }
  // Card to host: CBC deciphering from a zero vector.
  Bytes Decipher(Bytes cipher) const {
    DES_cblock iv{};
    cipher.resize(cipher.size() / 8 * 8);
    DES_ede2_cbc_encrypt(cipher.data(), cipher.data(), cipher.size(), &Key(0), &Key(1), &iv,
                         DES_DECRYPT);
    return cipher;
  }

 private:
  static DES_cblock* Block(Bytes& bytes, size_t pos) {
    return reinterpret_cast<DES_cblock*>(bytes.data() + pos);
  }
  // A half of the session key (equal halves make single DES).
  DES_key_schedule& Key(size_t half) const {
    DES_set_key_unchecked(
        reinterpret_cast<DES_cblock*>(const_cast<uint8_t*>(session_.data()) + 8 * half),
        &schedules_[half]);
    return schedules_[half];
  }

  DesfireCard& card_;
  Key16 session_{};
  mutable std::array<DES_key_schedule, 2> schedules_{};
};

// A blank 4K card with a RndB the test may fix, and a host talking to it.
class Desfire : public ::testing::Test {
 protected:
  Desfire() {
    card.SetRandomSource([this](std::span<uint8_t> out) {
      std::copy_n(rndB.begin(), std::min(out.size(), rndB.size()), out.begin());
    });
  }
  // Application 01 02 03 with `keys` keys and `settings`, selected and authenticated with key 0.
  void EnterApplication(uint8_t settings = 0x0F, uint8_t keys = 3) {
    ASSERT_TRUE(host.Authenticate(0));
    ASSERT_EQ(host.Send(0xCA, Cat({Hex("030201"), {settings, keys}})), "9100");
    ASSERT_EQ(host.Send("5A 030201"), "9100");
    ASSERT_TRUE(host.Authenticate(0));
  }
  // Each "command = answer" in turn; `after`, when given, is sent after each and must answer 910C.
  void Steps(std::initializer_list<std::string> steps, const char* after = nullptr) {
    for (const std::string& step : steps) {
      const size_t at = step.find(" = ");
      EXPECT_EQ(host.Send(step.substr(0, at)), ToHex(Hex(step.substr(at + 3)))) << step;
      if (after) {
        EXPECT_EQ(host.Send(after), "910C") << "after " << step;
      }
    }
  }

  std::array<uint8_t, 8> rndB{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  DesfireCard card = DesfireCard::Blank(DesfireCapacity::k4K);
  Host host{card};
};

// Cryptogram CB 64 3F D0 30 E6 87 DA carries settings 0x0F under the session key
// 00 01 02 03 F6 B0 33 39 (RndA 00 01 02 03 .., RndB F6 B0 33 39 ..).
TEST_F(Desfire, ChangeKeySettingsVectorAndTheCrcPreset) {
  rndB = {0xF6, 0xB0, 0x33, 0x39, 0x9A, 0x4B, 0x27, 0xE1};
  const auto authenticate = [&] {
    host.SetSessionKey(kZeroKey);
    ASSERT_EQ(Sw(host.Send("0A 00")), "91AF");
    ASSERT_EQ(Sw(host.Send(0xAF, host.Encipher(Hex("0001020304050607 B033399A4B27E1F6")))), "9100");
    host.SetSessionKey(KeyOf("00010203F6B03339 00010203F6B03339"));
  };
  authenticate();
  EXPECT_EQ(host.Send(0x54, host.Encipher(WithCrc({0x0F}, 0xFFFF))), "911E") << "CRC preset";
  EXPECT_EQ(host.Send("45"), "0F019100") << "settings unchanged after the refusal";
  authenticate();  // the refusal cost the session
  EXPECT_EQ(host.Send("54 CB643FD030E687DA"), "9100");
}

// Version 0xA5 in the parity bits of the first eight bytes (1010 0101); halves differ: 2K3DES.
const Key16 kNewKey = KeyOf("1120314050617081 2233445566778899");

// Own key: new key + CRC; another: (new XOR old) + CRC + the new key's CRC.
Bytes ChangeKeyCryptogram(const Host& host, bool own, const Key16& old_key) {
  const Bytes new_crc = WithCrc(Bytes(kNewKey.begin(), kNewKey.end()));
  if (own) return host.Encipher(new_crc);
  Bytes mixed(16);
  for (size_t i = 0; i < 16; ++i) mixed[i] = old_key[i] ^ kNewKey[i];
  return host.Encipher(Cat({WithCrc(mixed), Bytes(new_crc.end() - 2, new_crc.end())}));
}

// Who may change which key (the settings' change-key nibble), the old value the card checks, the
// version the new key carries, and the 2K3DES session the new key opens.
TEST_F(Desfire, KeyChangesAndTheTripleDesSession) {
  // What, settings, key authenticated, key changed, its current value, answer.
  const std::tuple<const char*, uint8_t, uint8_t, uint8_t, Key16, std::string> cases[] = {
      {"master key changes others", 0x0F, 0, 3, kZeroKey, "9100"},
      {"wrong current value", 0x0F, 0, 2, KeyOf("01"), "911E"},
      {"other key cannot with master nibble", 0x0F, 1, 3, kZeroKey, "91AE"},
      {"named key changes others", 0x2F, 2, 3, kZeroKey, "9100"},
      {"itself only", 0xEF, 3, 3, kZeroKey, "9100"},
      {"frozen", 0xFF, 0, 3, kZeroKey, "919D"},
      {"master key frozen", 0x0E, 0, 0, kZeroKey, "919D"},
      {"master key only by itself", 0x1F, 1, 0, kZeroKey, "91AE"},
      {"master key by itself", 0x0F, 0, 0, kZeroKey, "9100"},
  };
  for (const auto& [what, settings, authenticated, changed, old_key, answer] : cases) {
    SCOPED_TRACE(what);
    card = DesfireCard::Blank(DesfireCapacity::k4K);
    EnterApplication(settings, 4);
    ASSERT_TRUE(host.Authenticate(authenticated));
    const bool own = authenticated == changed;
    EXPECT_EQ(host.Send(0xC4, Cat({{changed}, ChangeKeyCryptogram(host, own, old_key)})), answer);
    if (answer != "9100") continue;
    // Changing the session's own key ends the session; the master key's shows it.
    if (changed == 0) {
      EXPECT_EQ(host.Send("54 0000000000000000"), "91AE");
    }
    EXPECT_EQ(host.Send(0x64, {changed}), "A59100");
    EXPECT_FALSE(host.Authenticate(changed));
    ASSERT_TRUE(host.Authenticate(changed, kNewKey));
    // Only the 2K3DES session key makes this cryptogram acceptable.
    if (changed == 0) {
      EXPECT_EQ(host.Send(0x54, host.Encipher(WithCrc({0x0F}))), "9100");
    }
  }
}

// Halves differing only in parity bits (where hosts put them apart) still make a two-key key.
TEST_F(Desfire, HalvesDifferingInParityMakeATwoKeyKey) {
  const Key16 key = KeyOf("0000000000000000 0101010101010101");
  ASSERT_TRUE(host.Authenticate(0));
  ASSERT_EQ(host.Send(0xC4, Cat({{0x00}, host.Encipher(WithCrc(Bytes(key.begin(), key.end())))})),
            "9100");
  ASSERT_TRUE(host.Authenticate(0, key));
  EXPECT_EQ(host.Send(0x54, host.Encipher(WithCrc({0x0F}))), "9100");
}

// A refused data, record or value command (value limits, short data, no file, wrong kind, more
// data than announced, no record, no frame) leaves nothing for CommitTransaction; the writes of
// one transaction fill one record. Plain data to an enciphered file is short of its cryptogram.
TEST_F(Desfire, RefusedCommandsLeaveNothingPending) {
  EnterApplication();
  Steps({"CB 01 00 EEEE 040000 = 9100", "CC 02 00 EEEE 00000000 64000000 0A000000 01 = 9100",
         "C1 03 00 EEEE 040000 010000 = 9100", "CD 04 00 1111 040000 = 9100"});
  Steps({"DC 02 0B000000 = 91BE", "0C 02 5B000000 = 91BE", "1C 02 01000000 = 91BE",
         "0C 02 FFFFFFFF = 919E", "0C 02 0100 = 917E", "0C 09 01000000 = 91F0",
         "3D 01 030000 020000 1111 = 91BE", "3D 02 000000 010000 11 = 919E",
         "3B 03 000000 050000 1111111111 = 91BE", "3D 04 000000 010000 11 = 91AE",
         "3D 01 000000 020000 010101 = 917E", "BB 03 000000 000000 = 91BE", "AF 01 = 911C"},
        "C7");
  Steps({"3B 03 000000 020000 0101 = 9100", "3B 03 020000 020000 0202 = 9100", "C7 = 9100",
         "BB 03 000000 000000 = 01010202 9100", "CD 05 03 1111 280000 = 9100"});
  ASSERT_TRUE(host.Authenticate(1));
  Steps({"3D 05 040000 0C0000 A1A2A3A4A5A6A7A8A9AAABAC = 91AF"});
}

// The EV1 card level in order on one card, then read back as another process would: ISO file ids,
// DF names and key types taken, too long, missing or unknown; DF names one a frame; key type
// beside the key count; the legacy scheme refused on AES keys; and 4K's memory after an NDEF file.
TEST_F(Desfire, Ev1ApplicationsFilesAndDirectory) {
  Steps({"CA 010000 0F 21 10E1 D2760000850101 = 9100",
         "CA 020000 0F 21 10E1 = 91DE",
         "CA 020000 0F 21 11E1 D2760000850101 = 91DE",
         "CA 020000 0F 21 = 917E",
         "CA 020000 0F 21 11E1 AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA = 917E",
         "CA 020000 0F A2 11E1 A0 = 9100",
         "CA 030000 0F 41 = 9100",
         "CA 040000 0F C1 = 919E",
         "6D = 010000 10E1 D2760000850101 91AF",
         "AF = 020000 11E1 A0 9100",
         "51 = 91AE",
         "5A 020000 = 9100",
         "45 = 0F82 9100",
         "0A 00 = 91AE",
         "5A 010000 = 9100",
         "CD 01 03E1 00 00E0 0F0000 = 9100",
         "CD 02 04E1 00 E0EE 001000 = 9100",
         "CD 03 04E1 00 E0EE 010000 = 91DE",
         "5A 030000 = 9100",
         "CD 01 03E1 00 00E0 0F0000 = 917E",
         "5A 000000 = 9100",
         "6E = E00200 9100"});
  card = DesfireCard::Load(card.Save());
  Steps({"6D = 010000 10E1 D2760000850101 91AF", "5A 010000 = 9100",
         "CD 03 04E1 00 E0EE 010000 = 91DE", "5A 020000 = 9100", "45 = 0F82 9100"});
}

// GetCardUID and SetConfiguration enciphered with the CRC the card checks; the default key.
TEST_F(Desfire, CardUidAndConfiguration) {
  const auto configure = [&](uint8_t option, const Bytes& plain, uint16_t preset = 0x6363,
                             const Bytes& after_crc = {}) {
    EXPECT_TRUE(host.Authenticate(0));
    return host.Send(0x5C,
                     Cat({{option}, host.Encipher(Cat({WithCrc(plain, preset), after_crc}))}));
  };
  EXPECT_EQ(configure(0, {0x01}, 0xFFFF), "911E") << "CRC preset";
  EXPECT_EQ(configure(0, {0x04}), "919E") << "unknown bit";
  EXPECT_EQ(configure(0, {0x01}), "9100");
  ASSERT_TRUE(host.Authenticate(0));
  EXPECT_EQ(host.Send("FC"), "919D") << "format disabled";
  EXPECT_EQ(configure(0, {0x00}), "9100");
  ASSERT_TRUE(host.Authenticate(0));
  EXPECT_EQ(host.Send("FC"), "9100");

  // A DES key as 24 bytes, then the version the new keys take (into their parity bits).
  const Key16 key = KeyOf("0010223244546676 0010223244546676");
  EXPECT_EQ(configure(1, Cat({Bytes(key.begin(), key.end()), Bytes(8, 0), {0x34}})), "9100");
  Steps({"CA 112233 0F 01 = 9100", "5A 112233 = 9100", "64 00 = 34 9100"});
  EXPECT_FALSE(host.Authenticate(0));
  EXPECT_TRUE(host.Authenticate(0, key));
  EXPECT_EQ(host.Send(0x5C, Cat({{0x00}, host.Encipher(WithCrc({0x00}))})), "91AE")
      << "card master key only";

  // The ATS, its CRC and 80: its historical bytes make the ATR.
  ASSERT_EQ(host.Send("5A 000000"), "9100");
  EXPECT_EQ(configure(2, Hex("07 75 77 81 02 80 C1"), 0x6363, {0x00}), "911E");
  EXPECT_EQ(configure(2, Hex("07 75 77 81 02 80 C1"), 0x6363, {0x80}), "9100");
  EXPECT_EQ(ToHex(card.Atr()), "3B82800180C142");

  // A random ID for each activation; GetCardUID still tells the UID.
  EXPECT_EQ(configure(0, {0x02}), "9100");
  EXPECT_EQ(ToHex(card.Uid()), "08112233");
  rndB[1] = 0x99;
  EXPECT_EQ(ToHex(card.Uid()), "08112233") << "same activation";
  card.Reset();
  EXPECT_EQ(ToHex(card.Uid()), "08119933");
  ASSERT_TRUE(host.Authenticate(0));
  EXPECT_EQ(host.Decipher(DataOf(host.Send("51"))),
            Cat({WithCrc(DesfireCard::kDefaultUid), Bytes(7, 0)}));  // padded
  EXPECT_EQ(configure(0, {0x00}), "9100");
  card = DesfireCard::Load(card.Save());  // as the readers file keeps it
  EXPECT_EQ(card.Uid().size(), 4u) << "for good";
  EXPECT_EQ(ToHex(card.Atr()), "3B82800180C142");
}

}  // namespace
}  // namespace tarsin::sim

#pragma GCC diagnostic pop
