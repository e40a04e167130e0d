// The host's side of the legacy DESFire protocol, written against OpenSSL's DES directly so that
// it checks the card's cipher rather than sharing it, and a fixture with a blank 4K card.
// Commands and answers are hex text: an answer is its data followed by the status word.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "desfire/desfire_card.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <openssl/des.h>

namespace tarsin::sim::testing {

using Key16 = std::array<uint8_t, 16>;
inline constexpr Key16 kZeroKey{};

inline Bytes Hex(const std::string& text) {
  return FromHex(text).value();
}
inline Key16 KeyOf(const std::string& hex) {
  Key16 key{};
  const Bytes bytes = Hex(hex);
  std::copy_n(bytes.begin(), std::min<size_t>(16, bytes.size()), key.begin());
  return key;
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}
// `value` in `size` bytes, least significant first, as the card's sizes, offsets and values.
inline Bytes Le(int64_t value, size_t size) {
  Bytes out;
  for (size_t i = 0; i < size; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  return out;
}
inline std::string Sw(const std::string& answer) {
  return answer.size() >= 4 ? answer.substr(answer.size() - 4) : answer;
}
inline Bytes DataOf(const std::string& answer) {
  return Hex(answer.substr(0, answer.size() - std::min<size_t>(4, answer.size())));
}
// `data` followed by its CRC (ISO 14443-A, preset 6363 unless told), least significant first.
inline Bytes WithCrc(Bytes data, uint16_t preset = 0x6363) {
  uint32_t crc = preset;
  for (uint8_t byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0x8408 : crc >> 1;
  }
  data.push_back(static_cast<uint8_t>(crc));
  data.push_back(static_cast<uint8_t>(crc >> 8));
  return data;
}

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
    const Bytes rnd_b = Decipher(DataOf(challenge));
    const Bytes rnd_a = Hex("1021324354657687");
    const auto rotated = [](const Bytes& b) {
      return Cat({Bytes(b.begin() + 1, b.end()), {b[0]}});
    };
    const std::string response = Send(0xAF, Encipher(Cat({rnd_a, rotated(rnd_b)})));
    if (Sw(response) != "9100" || Decipher(DataOf(response)) != rotated(rnd_a)) return false;
    const bool single_des = std::equal(key.begin(), key.begin() + 8, key.begin() + 8);
    std::copy_n(rnd_a.begin(), 4, session_.begin());
    std::copy_n(rnd_b.begin(), 4, session_.begin() + 4);
    std::copy_n(rnd_a.begin() + (single_des ? 0 : 4), 4, session_.begin() + 8);
    std::copy_n(rnd_b.begin() + (single_des ? 0 : 4), 4, session_.begin() + 12);
    return true;
  }
  const Key16& SessionKey() const { return session_; }
  void SetSessionKey(const Key16& key) { session_ = key; }

  // Host to card: block i = D(p_i XOR c_(i-1)) under the session key, zero padded.
  Bytes Encipher(Bytes plain) const {
    plain.resize((plain.size() + 7) / 8 * 8, 0);
    std::array<uint8_t, 8> chain{};
    for (size_t pos = 0; pos < plain.size(); pos += 8) {
      for (size_t i = 0; i < 8; ++i) chain[i] ^= plain[pos + i];
      chain = Block(chain.data(), DES_DECRYPT);
      std::copy(chain.begin(), chain.end(), plain.begin() + pos);
    }
    return plain;
  }
  // Card to host: p_i = D(c_i) XOR c_(i-1).
  Bytes Decipher(const Bytes& cipher) const {
    Bytes plain;
    for (size_t pos = 0; pos + 8 <= cipher.size(); pos += 8) {
      auto block = Block(cipher.data() + pos, DES_DECRYPT);
      for (size_t i = 0; pos > 0 && i < 8; ++i) block[i] ^= cipher[pos - 8 + i];
      plain.insert(plain.end(), block.begin(), block.end());
    }
    return plain;
  }
  // The 4-byte MAC: CBC encryption of the zero-padded data, first half of the last block.
  Bytes Mac(Bytes data) const {
    data.resize(std::max<size_t>(8, (data.size() + 7) / 8 * 8), 0);
    std::array<uint8_t, 8> chain{};
    for (size_t pos = 0; pos < data.size(); pos += 8) {
      for (size_t i = 0; i < 8; ++i) chain[i] ^= data[pos + i];
      chain = Block(chain.data(), DES_ENCRYPT);
    }
    return Bytes(chain.begin(), chain.begin() + 4);
  }

 private:
  // 2K3DES (K1, K2, K1) on one block; a key with equal halves is single DES.
  std::array<uint8_t, 8> Block(const uint8_t* in, int direction) const {
    DES_cblock k1, k2, block, out;
    std::copy_n(session_.begin(), 8, k1);
    std::copy_n(session_.begin() + 8, 8, k2);
    std::copy_n(in, 8, block);
    DES_key_schedule s1, s2;
    DES_set_key_unchecked(&k1, &s1);
    DES_set_key_unchecked(&k2, &s2);
    DES_ecb3_encrypt(&block, &out, &s1, &s2, &s1, direction);
    std::array<uint8_t, 8> result;
    std::copy_n(out, 8, result.begin());
    return result;
  }

  DesfireCard& card_;
  Key16 session_{};
};

// A blank 4K card with a RndB the test may fix, and a host talking to it.
class DesfireTest : public ::testing::Test {
 protected:
  DesfireTest() {
    card.SetRandomSource([this](std::span<uint8_t> out) {
      std::copy_n(rndB.begin(), std::min(out.size(), rndB.size()), out.begin());
    });
  }
  // Application kAid with `keys` keys and `settings`, selected and authenticated with key 0.
  void EnterApplication(uint8_t settings = 0x0F, uint8_t keys = 3) {
    ASSERT_TRUE(host.Authenticate(0));
    ASSERT_EQ(host.Send(0xCA, Cat({Le(kAid, 3), {settings, keys}})), "9100");
    ASSERT_EQ(host.Send(0x5A, Le(kAid, 3)), "9100");
    ASSERT_TRUE(host.Authenticate(0));
  }

  static constexpr uint32_t kAid = 0x010203;
  std::array<uint8_t, 8> rndB{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  DesfireCard card = DesfireCard::Blank(DesfireCapacity::k4K);
  Host host{card};
};

}  // namespace tarsin::sim::testing

#pragma GCC diagnostic pop
