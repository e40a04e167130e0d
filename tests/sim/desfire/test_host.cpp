#include "test_host.h"

#include <stdexcept>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <openssl/des.h>

namespace tarsin::sim::testing {

namespace {

// 2K3DES (K1, K2, K1) on one block; a key with equal halves is single DES.
std::array<uint8_t, 8> Block(const Key16& key, const uint8_t* in, int direction) {
  DES_cblock k1, k2, block, out;
  std::copy_n(key.begin(), 8, k1);
  std::copy_n(key.begin() + 8, 8, k2);
  std::copy_n(in, 8, block);
  DES_key_schedule s1, s2;
  DES_set_key_unchecked(&k1, &s1);
  DES_set_key_unchecked(&k2, &s2);
  DES_ecb3_encrypt(&block, &out, &s1, &s2, &s1, direction);
  std::array<uint8_t, 8> result;
  std::copy_n(out, 8, result.begin());
  return result;
}

}  // namespace

Bytes Hex(const std::string& text) {
  return FromHex(text).value();
}

Answer TestHost::Frame(uint8_t instruction, const Bytes& data) {
  Bytes apdu{0x90, instruction, 0x00, 0x00};
  if (!data.empty()) {
    apdu.push_back(static_cast<uint8_t>(data.size()));
    apdu.insert(apdu.end(), data.begin(), data.end());
  }
  apdu.push_back(0x00);
  Bytes reply = card_.Transmit(apdu);
  if (reply.size() < 2) throw std::runtime_error("answer without status word");
  Answer answer;
  answer.sw = static_cast<uint16_t>(reply[reply.size() - 2] << 8 | reply.back());
  answer.data.assign(reply.begin(), reply.end() - 2);
  return answer;
}

Answer TestHost::Command(uint8_t instruction, const Bytes& data, size_t frameSize) {
  size_t sent = std::min(frameSize, data.size());
  Answer answer = Frame(instruction, Bytes(data.begin(), data.begin() + static_cast<long>(sent)));
  while (answer.sw == 0x91AF && sent < data.size()) {
    const size_t next = std::min(frameSize, data.size() - sent);
    const auto from = data.begin() + static_cast<long>(sent);
    answer = Frame(0xAF, Bytes(from, from + static_cast<long>(next)));
    sent += next;
  }
  Bytes collected = answer.data;
  while (answer.sw == 0x91AF) {
    answer = Frame(0xAF);
    collected.insert(collected.end(), answer.data.begin(), answer.data.end());
  }
  answer.data = collected;
  return answer;
}

bool TestHost::Authenticate(uint8_t keyNumber, const Key16& key) {
  // The three passes run under the key itself, with the same chaining as later cryptograms.
  sessionKey_ = key;
  const Answer challenge = Frame(0x0A, {keyNumber});
  if (challenge.sw != 0x91AF || challenge.data.size() != 8) return false;
  const Bytes rndB = ReceiveCryptogram(challenge.data);
  const Bytes rndA{0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87};
  const Answer response =
      Frame(0xAF, SendCryptogram(Concat({rndA, Bytes(rndB.begin() + 1, rndB.end()), {rndB[0]}})));
  if (response.sw != kOk || ReceiveCryptogram(response.data) !=
                                Concat({Bytes(rndA.begin() + 1, rndA.end()), {rndA[0]}})) {
    return false;
  }
  const bool singleDes = std::equal(key.begin(), key.begin() + 8, key.begin() + 8);
  std::copy_n(rndA.begin(), 4, sessionKey_.begin());
  std::copy_n(rndB.begin(), 4, sessionKey_.begin() + 4);
  std::copy_n(singleDes ? rndA.begin() : rndA.begin() + 4, 4, sessionKey_.begin() + 8);
  std::copy_n(singleDes ? rndB.begin() : rndB.begin() + 4, 4, sessionKey_.begin() + 12);
  return true;
}

void TestHost::Select(uint32_t aid) {
  const Answer answer = Frame(0x5A, Uint24(aid));
  if (answer.sw != kOk) throw std::runtime_error("selection refused");
}

uint16_t TestHost::Crc(const Bytes& data, uint16_t preset) {
  uint32_t crc = preset;
  for (uint8_t byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0x8408 : crc >> 1;
  }
  return static_cast<uint16_t>(crc);
}

Bytes TestHost::WithCrc(Bytes data, uint16_t preset) {
  const uint16_t crc = Crc(data, preset);
  data.push_back(static_cast<uint8_t>(crc & 0xFF));
  data.push_back(static_cast<uint8_t>(crc >> 8));
  return data;
}

Bytes TestHost::SendCryptogram(Bytes plain) const {
  plain.resize((plain.size() + 7) / 8 * 8, 0);
  Bytes out;
  std::array<uint8_t, 8> chain{};
  for (size_t pos = 0; pos < plain.size(); pos += 8) {
    for (size_t i = 0; i < 8; ++i) chain[i] ^= plain[pos + i];
    chain = Block(sessionKey_, chain.data(), DES_DECRYPT);
    out.insert(out.end(), chain.begin(), chain.end());
  }
  return out;
}

Bytes TestHost::EncipheredData(const Bytes& data) const {
  return SendCryptogram(WithCrc(data));
}

Bytes TestHost::ReceiveCryptogram(const Bytes& cipher) const {
  Bytes out;
  std::array<uint8_t, 8> previous{};
  for (size_t pos = 0; pos + 8 <= cipher.size(); pos += 8) {
    auto plain = Block(sessionKey_, cipher.data() + pos, DES_DECRYPT);
    for (size_t i = 0; i < 8; ++i) plain[i] ^= previous[i];
    std::copy_n(cipher.begin() + static_cast<long>(pos), 8, previous.begin());
    out.insert(out.end(), plain.begin(), plain.end());
  }
  return out;
}

Bytes TestHost::Mac(const Bytes& data) const {
  Bytes padded = data;
  padded.resize(std::max<size_t>(8, (padded.size() + 7) / 8 * 8), 0);
  std::array<uint8_t, 8> chain{};
  for (size_t pos = 0; pos < padded.size(); pos += 8) {
    for (size_t i = 0; i < 8; ++i) chain[i] ^= padded[pos + i];
    chain = Block(sessionKey_, chain.data(), DES_ENCRYPT);
  }
  return {chain[0], chain[1], chain[2], chain[3]};
}

Bytes Uint24(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16)};
}

Bytes Int32(int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  return {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
          static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

}  // namespace tarsin::sim::testing

#pragma GCC diagnostic pop
