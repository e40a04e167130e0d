// SPDX-License-Identifier: Apache-2.0
// The DESFire model on its own, driven by a host written against OpenSSL's DES so that it checks
// the card's cipher rather than sharing it: published traces, the key and file cryptograms
// (random commands are the virtual card's fuzz target's). Commands and answers are hex text; an
// answer is its data and status word.
#include "desfire/desfire_card.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

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
// Data and status word, spaced for reading.
std::string Answer(const std::string& spaced) {
  return ToHex(Hex(spaced));
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
  // Host to card: block i = D(p_i XOR c_(i-1)) under the session key, zero padded.
  Bytes Encipher(Bytes plain) const {
    plain.resize((plain.size() + 7) / 8 * 8, 0);
    std::array<uint8_t, 8> chain{};
    for (size_t pos = 0; pos < plain.size(); pos += 8) {
      for (size_t i = 0; i < 8; ++i) chain[i] ^= plain[pos + i];
      chain = Decrypt(chain.data());
      std::copy(chain.begin(), chain.end(), plain.begin() + pos);
    }
    return plain;
  }
  // Card to host: p_i = D(c_i) XOR c_(i-1).
  Bytes Decipher(const Bytes& cipher) const {
    Bytes plain;
    for (size_t pos = 0; pos + 8 <= cipher.size(); pos += 8) {
      auto block = Decrypt(cipher.data() + pos);
      for (size_t i = 0; pos > 0 && i < 8; ++i) block[i] ^= cipher[pos - 8 + i];
      plain.insert(plain.end(), block.begin(), block.end());
    }
    return plain;
  }

 private:
  // 2K3DES (K1, K2, K1) deciphering of one block; a key with equal halves is single DES.
  std::array<uint8_t, 8> Decrypt(const uint8_t* in) const {
    DES_cblock k1, k2, block;
    std::copy_n(session_.begin(), 8, k1);
    std::copy_n(session_.begin() + 8, 8, k2);
    std::copy_n(in, 8, block);
    DES_key_schedule s1, s2;
    DES_set_key_unchecked(&k1, &s1);
    DES_set_key_unchecked(&k2, &s2);
    DES_ecb3_encrypt(&block, &block, &s1, &s2, &s1, DES_DECRYPT);
    std::array<uint8_t, 8> result;
    std::copy_n(block, 8, result.begin());
    return result;
  }

  DesfireCard& card_;
  Key16 session_{};
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

  std::array<uint8_t, 8> rndB{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  DesfireCard card = DesfireCard::Blank(DesfireCapacity::k4K);
  Host host{card};
};

// A real card's trace: key 00x8, RndB CC F5 32 70 57 0A 76 69, RndA A0..A7.
TEST_F(Desfire, AnswersThePublishedTrace) {
  rndB = {0xCC, 0xF5, 0x32, 0x70, 0x57, 0x0A, 0x76, 0x69};
  EXPECT_EQ(host.Send("0A 00"), Answer("DF6AB29AAE46BA27 91AF"));
  EXPECT_EQ(host.Send("AF 05EEC31F1E6A0CC3 1FEF8398A6621370"), Answer("26ACED3C771EF9A0 9100"));
  // The session key A0 A1 A2 A3 CC F5 32 70 is what the card now deciphers with.
  host.SetSessionKey(KeyOf("A0A1A2A3CCF53270 A0A1A2A3CCF53270"));
  EXPECT_EQ(host.Send(0x54, host.Encipher(WithCrc({0x0B}))), "9100");
  EXPECT_EQ(host.Send("45"), Answer("0B01 9100"));
}

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
  EXPECT_EQ(host.Send("45"), Answer("0F01 9100")) << "settings unchanged after the refusal";
  authenticate();  // the refusal cost the session
  EXPECT_EQ(host.Send("54 CB643FD030E687DA"), "9100");
}

// Version 0xA5 in the parity bits of the first eight bytes (1010 0101); halves differ: 2K3DES.
const Key16 kNewKey = KeyOf("1120314050617081 2233445566778899");

// The session's own key travels as the new key and its CRC; another key as new XOR old, its
// CRC, then the new key's CRC.
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
  const struct {
    const char* what;
    uint8_t settings, authenticated, changed;
    Key16 old_key;
    std::string answer;
  } cases[] = {
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
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    card = DesfireCard::Blank(DesfireCapacity::k4K);
    EnterApplication(c.settings, 4);
    ASSERT_TRUE(host.Authenticate(c.authenticated));
    const bool own = c.authenticated == c.changed;
    EXPECT_EQ(host.Send(0xC4, Cat({{c.changed}, ChangeKeyCryptogram(host, own, c.old_key)})),
              c.answer);
    if (c.answer != "9100") continue;
    // Changing the session's own key ends the session; the master key's shows it.
    if (c.changed == 0) {
      EXPECT_EQ(host.Send("54 0000000000000000"), "91AE");
    }
    EXPECT_EQ(host.Send(0x64, {c.changed}), Answer("A5 9100"));
    EXPECT_FALSE(host.Authenticate(c.changed));
    ASSERT_TRUE(host.Authenticate(c.changed, kNewKey));
    if (c.changed == 0) {  // only the 2K3DES session key makes this cryptogram acceptable
      EXPECT_EQ(host.Send(0x54, host.Encipher(WithCrc({0x0F}))), "9100");
    }
  }
}

// Hosts keep a two-key key's halves apart in the parity bits (where the version goes): such a
// key opens a two-key session, though its halves make the same DES key.
TEST_F(Desfire, HalvesDifferingInParityMakeATwoKeyKey) {
  const Key16 key = KeyOf("0000000000000000 0101010101010101");
  ASSERT_TRUE(host.Authenticate(0));
  ASSERT_EQ(host.Send(0xC4, Cat({{0x00}, host.Encipher(WithCrc(Bytes(key.begin(), key.end())))})),
            "9100");
  ASSERT_TRUE(host.Authenticate(0, key));
  EXPECT_EQ(host.Send(0x54, host.Encipher(WithCrc({0x0F}))), "9100");
}

// A refused data, record or value command leaves nothing for CommitTransaction; the writes of
// one transaction fill one record.
TEST_F(Desfire, RefusedCommandsLeaveNothingPending) {
  EnterApplication();
  for (const char* file : {"CB 01 00 EEEE 040000", "CC 02 00 EEEE 00000000 64000000 0A000000 01",
                           "C1 03 00 EEEE 040000 010000", "CD 04 00 1111 040000"}) {
    ASSERT_EQ(host.Send(file), "9100") << file;
  }
  const struct {
    const char *command, *answer;
  } refused[] = {
      {"DC 02 0B000000", "91BE"},
      {"0C 02 5B000000", "91BE"},
      {"1C 02 01000000", "91BE"},
      {"0C 02 FFFFFFFF", "919E"},
      {"0C 02 0100", "917E"},
      {"0C 09 01000000", "91F0"},
      {"3D 01 030000 020000 1111", "91BE"},
      {"3D 02 000000 010000 11", "919E"},
      {"3B 03 000000 050000 1111111111", "91BE"},
      {"3D 04 000000 010000 11", "91AE"},
      {"3D 01 000000 020000 010101", "917E"},  // more data than announced
      {"BB 03 000000 000000", "91BE"},         // no record yet
      {"AF 01", "911C"},                       // nothing to continue
  };
  for (const auto& c : refused) {
    EXPECT_EQ(host.Send(c.command), c.answer) << c.command;
    EXPECT_EQ(host.Send("C7"), "910C") << "after " << c.command;
  }
  EXPECT_EQ(host.Send("3B 03 000000 020000 0101"), "9100");
  EXPECT_EQ(host.Send("3B 03 020000 020000 0202"), "9100");  // the file holds one record
  EXPECT_EQ(host.Send("C7"), "9100");
  EXPECT_EQ(host.Send("BB 03 000000 000000"), Answer("01010202 9100"));
}

TEST_F(Desfire, EncipheredFileTravelsUnderTheSessionKey) {
  EnterApplication();
  ASSERT_EQ(host.Send("CD 02 03 1111 280000"), "9100");  // access with key 1
  ASSERT_TRUE(host.Authenticate(1));
  const Bytes header = Hex("02 040000 0C0000"), data = Hex("A1A2A3A4A5A6A7A8A9AAABAC");
  EXPECT_EQ(host.Send(0x3D, Cat({header, data})), "91AF") << "plain is short";
  ASSERT_TRUE(host.Authenticate(1));
  EXPECT_EQ(host.Send(0x3D, Cat({header, host.Encipher(WithCrc(data))})), "9100");
  const std::string read = host.Send(0xBD, header);
  ASSERT_EQ(Sw(read), "9100");
  EXPECT_EQ(host.Decipher(DataOf(read)), Cat({WithCrc(data), {0, 0}}));
}

// The EV1 card level as an independent client meets it, in order on one card: applications with
// ISO file ids, DF names and other key types, their files, the DF names listed one a frame, and
// the free memory of a formatted 4K, which takes an NDEF file of 4096 bytes beside its header.
TEST_F(Desfire, Ev1ApplicationsFilesAndDirectory) {
  const struct {
    const char* what;
    std::string command, answer;
  } steps[] = {
      {"free memory", "6E", "001300 9100"},
      {"ISO file id and DF name", "CA 010000 0F 21 10E1 D2760000850101", "9100"},
      {"ISO file id taken", "CA 020000 0F 21 10E1", "91DE"},
      {"DF name taken", "CA 020000 0F 21 11E1 D2760000850101", "91DE"},
      {"ISO file id missing", "CA 020000 0F 21", "917E"},
      {"DF name too long", "CA 020000 0F 21 11E1 " + std::string(34, 'A'), "917E"},
      {"AES keys", "CA 020000 0F A2 11E1 A0", "9100"},
      {"3K3DES keys", "CA 030000 0F 41", "9100"},
      {"no such key type", "CA 040000 0F C1", "919E"},
      {"DF names", "6D", "010000 10E1 D2760000850101 91AF"},
      {"DF names, next frame", "AF", "020000 11E1 A0 9100"},
      {"UID without authentication", "51", "91AE"},
      {"AES application", "5A 020000", "9100"},
      {"key type beside the key count", "45", "0F82 9100"},
      {"legacy scheme on an AES key", "0A 00", "91AE"},
      {"ISO application", "5A 010000", "9100"},
      {"file with ISO file id", "CD 01 03E1 00 00E0 0F0000", "9100"},
      {"NDEF file beside it", "CD 02 04E1 00 E0EE 001000", "9100"},
      {"file ISO file id taken", "CD 03 04E1 00 E0EE 010000", "91DE"},
      {"3K3DES application", "5A 030000", "9100"},
      {"no ISO file ids here", "CD 01 03E1 00 00E0 0F0000", "917E"},
      {"card level", "5A 000000", "9100"},
      {"memory left", "6E", "E00200 9100"},
  };
  for (const auto& step : steps)
    EXPECT_EQ(host.Send(step.command), Answer(step.answer)) << step.what;
  card = DesfireCard::Load(card.Save());  // what another process reads back
  EXPECT_EQ(host.Send("6D"), Answer("010000 10E1 D2760000850101 91AF"));
  EXPECT_EQ(host.Send("5A 010000"), "9100");
  EXPECT_EQ(host.Send("CD 03 04E1 00 E0EE 010000"), "91DE");
  EXPECT_EQ(host.Send("5A 020000"), "9100");
  EXPECT_EQ(host.Send("45"), Answer("0F82 9100"));
}

// GetCardUID and SetConfiguration travel enciphered under the session key, with the CRC the card
// checks; the default key is what new applications' keys start as.
TEST_F(Desfire, CardUidAndConfiguration) {
  const Bytes uid = Cat({WithCrc(DesfireCard::kDefaultUid), Bytes(7, 0)});  // padded
  ASSERT_TRUE(host.Authenticate(0));
  EXPECT_EQ(host.Decipher(DataOf(host.Send("51"))), uid);

  const auto configure = [&](uint8_t option, const Bytes& plain, uint16_t preset = 0x6363) {
    EXPECT_TRUE(host.Authenticate(0));
    return host.Send(0x5C, Cat({{option}, host.Encipher(WithCrc(plain, preset))}));
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
  EXPECT_EQ(host.Send("CA 112233 0F 01"), "9100");
  EXPECT_EQ(host.Send("5A 112233"), "9100");
  EXPECT_EQ(host.Send("64 00"), Answer("34 9100"));
  EXPECT_FALSE(host.Authenticate(0));
  EXPECT_TRUE(host.Authenticate(0, key));
  EXPECT_EQ(host.Send(0x5C, Cat({{0x00}, host.Encipher(WithCrc({0x00}))})), "91AE")
      << "card master key only";

  // The ATS, its CRC and 80: its historical bytes make the ATR.
  ASSERT_EQ(host.Send("5A 000000"), "9100");
  const auto configureAts = [&](uint8_t end) {
    EXPECT_TRUE(host.Authenticate(0));
    return host.Send(
        0x5C, Cat({{0x02}, host.Encipher(Cat({WithCrc(Hex("07 75 77 81 02 80 C1")), {end}}))}));
  };
  EXPECT_EQ(configureAts(0x00), "911E");
  EXPECT_EQ(configureAts(0x80), "9100");
  EXPECT_EQ(ToHex(card.Atr()), "3B82800180C142");

  // A random ID for each activation; GetCardUID still tells the UID.
  EXPECT_EQ(configure(0, {0x02}), "9100");
  EXPECT_EQ(ToHex(card.Uid()), "08112233");
  rndB[1] = 0x99;
  EXPECT_EQ(ToHex(card.Uid()), "08112233") << "same activation";
  card.Reset();
  EXPECT_EQ(ToHex(card.Uid()), "08119933");
  ASSERT_TRUE(host.Authenticate(0));
  EXPECT_EQ(host.Decipher(DataOf(host.Send("51"))), uid);
  EXPECT_EQ(configure(0, {0x00}), "9100");
  card = DesfireCard::Load(card.Save());  // as the readers file keeps it
  EXPECT_EQ(card.Uid().size(), 4u) << "for good";
  EXPECT_EQ(ToHex(card.Atr()), "3B82800180C142");
}

}  // namespace
}  // namespace tarsin::sim

#pragma GCC diagnostic pop
