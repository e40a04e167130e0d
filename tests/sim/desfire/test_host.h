#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "desfire/desfire_card.h"

namespace tarsin::sim::testing {

using Key16 = std::array<uint8_t, 16>;

Bytes Hex(const std::string& text);  // "0A 0B" or "0A0B"

struct Answer {
  Bytes data;
  uint16_t sw = 0;
};

// The host's side of the legacy protocol, written against OpenSSL's inverse DES directly so that
// it checks the card's cipher rather than sharing it.
class TestHost {
 public:
  explicit TestHost(DesfireCard& card) : card_(card) {}

  // One class-90 frame, as sent.
  Answer Frame(uint8_t instruction, const Bytes& data = {});
  // A native command: data cut into frames of `frameSize` bytes, answers followed while 91AF.
  Answer Command(uint8_t instruction, const Bytes& data = {}, size_t frameSize = 52);

  // Authenticates with a fixed RndA; true when the card's RndA' checks out.
  bool Authenticate(uint8_t keyNumber, const Key16& key);
  void Select(uint32_t aid);

  const Key16& SessionKey() const { return sessionKey_; }
  void SetSessionKey(const Key16& key) { sessionKey_ = key; }

  // Host-to-card cryptogram: block i = D(p_i XOR c_(i-1)) under the session key.
  Bytes SendCryptogram(Bytes plain) const;
  // data || CRC || zero padding, as a cryptogram (the enciphered file-data form).
  Bytes EncipheredData(const Bytes& data) const;
  // Card-to-host cryptogram undone: p_i = D(c_i) XOR c_(i-1).
  Bytes ReceiveCryptogram(const Bytes& cipher) const;
  Bytes Mac(const Bytes& data) const;

  static uint16_t Crc(const Bytes& data, uint16_t preset = 0x6363);
  // `data` followed by its CRC, least significant byte first.
  static Bytes WithCrc(Bytes data, uint16_t preset = 0x6363);

 private:
  DesfireCard& card_;
  Key16 sessionKey_{};
};

Bytes Uint24(uint32_t value);
Bytes Int32(int32_t value);
Bytes Concat(std::initializer_list<Bytes> parts);
inline constexpr uint16_t kOk = 0x9100;

}  // namespace tarsin::sim::testing
