// SPDX-License-Identifier: Apache-2.0
#include "desfire/channel_messaging.h"

#include <algorithm>

#include "crypto/block_modes.h"
#include "crypto/cmac.h"
#include "crypto/crc.h"
#include "desfire/channel_cipher.h"

namespace tarsin::desfire {
namespace {

constexpr size_t kMacLength = 8;
constexpr size_t kLegacyMacLength = 4;

}  // namespace

ByteVector Ev1Wrap(DesfireSession& session, uint8_t instruction, const NativeCommand& command) {
  const BlockCipher& cipher = SessionCipher(session);
  ByteVector covered{instruction};
  Append(covered, command.header);
  Append(covered, command.data);
  ByteVector payload = command.header;
  if (command.communication != Communication::Enciphered) {
    const auto mac = Cmac(cipher, session.InitVector, covered);
    Append(payload, command.data);
    if (command.communication == Communication::Maced) {
      Append(payload, std::span(mac).first(kMacLength));
    }
    return payload;
  }
  ByteVector block = command.data;
  Append(block, Crc32Bytes(covered));
  Append(block, command.afterCrc);
  const size_t size = cipher.BlockSize();
  block.resize((block.size() + size - 1) / size * size, 0);
  CbcEncipher(cipher, session.InitVector, block);
  Append(payload, block);
  return payload;
}

bool Ev1Unwrap(DesfireSession& session, ByteVector& data) {
  if (data.size() < kMacLength) return false;
  const ByteVector mac(data.end() - kMacLength, data.end());
  data.resize(data.size() - kMacLength);
  ByteVector covered = data;
  covered.push_back(0x00);  // the status the card answered, 9100
  const auto expected = Cmac(SessionCipher(session), session.InitVector, covered);
  return std::equal(mac.begin(), mac.end(), expected.begin());
}

ByteVector LegacyMac(const DesfireSession& session, std::span<const uint8_t> data) {
  const BlockCipher& cipher = SessionCipher(session);
  const size_t size = cipher.BlockSize();
  ByteVector block(data.begin(), data.end());
  block.resize(std::max<size_t>(1, (block.size() + size - 1) / size) * size, 0);
  ByteVector chaining(size, 0);
  CbcEncipher(cipher, chaining, block);
  return {block.end() - static_cast<std::ptrdiff_t>(size),
          block.end() - static_cast<std::ptrdiff_t>(size - kLegacyMacLength)};
}

bool TakeLegacyMac(const DesfireSession& session, ByteVector& data) {
  if (data.size() < kLegacyMacLength) return false;
  const ByteVector mac(data.end() - kLegacyMacLength, data.end());
  data.resize(data.size() - kLegacyMacLength);
  return mac == LegacyMac(session, data);
}

bool OpenEncipheredAnswer(DesfireSession& session, ByteVector& data, size_t length) {
  const BlockCipher& cipher = SessionCipher(session);
  const size_t crcLength = session.Ev1 ? 4 : 2;
  const size_t size = cipher.BlockSize();
  if (data.empty() || data.size() % size != 0 || data.size() < length + crcLength) return false;
  // Legacy answers restart the chaining at zero.
  if (!session.Ev1) session.InitVector.assign(size, 0);
  CbcDecipher(cipher, session.InitVector, data);
  ByteVector covered(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(length));
  ByteVector crc;
  if (session.Ev1) {
    covered.push_back(0x00);  // the status, 9100
    const auto bytes = Crc32Bytes(covered);
    crc.assign(bytes.begin(), bytes.end());
  } else {
    const auto bytes = Crc16Bytes(covered);
    crc.assign(bytes.begin(), bytes.end());
  }
  const auto tail = std::span(data).subspan(length);
  const bool valid = std::equal(crc.begin(), crc.end(), tail.begin()) &&
                     std::all_of(tail.begin() + static_cast<std::ptrdiff_t>(crcLength), tail.end(),
                                 [](uint8_t byte) { return byte == 0; });
  data.resize(length);
  return valid;
}

}  // namespace tarsin::desfire
