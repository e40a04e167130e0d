// SPDX-License-Identifier: Apache-2.0
#include "crypto/des_cipher.h"

#include "crypto/des_failure.h"

namespace tarsin {
namespace {

uint64_t BigEndian(std::span<const uint8_t> bytes) {
  uint64_t value = 0;
  for (const uint8_t byte : bytes) value = (value << 8) | byte;
  return value;
}

void Store(uint64_t value, std::span<uint8_t> bytes) {
  for (size_t i = bytes.size(); i-- > 0; value >>= 8) bytes[i] = static_cast<uint8_t>(value);
}

void CheckBlock(std::span<const uint8_t> block) {
  if (block.size() != 8) RaiseDesError(errors::kDesInvalidDataLength, "DesCipher");
}

}  // namespace

DesCipher::DesCipher(std::span<const uint8_t> key) {
  if (key.size() != 8 && key.size() != 16 && key.size() != 24) {
    RaiseDesError(errors::kDesInvalidDataLength, "DesCipher");
  }
  triple_ = key.size() > 8;
  // Only the schedules the passes use: DES runs K1 alone, and with two keys K3 is K1.
  roundKeys_[0] = ScheduleRoundKeys(BigEndian(key.first(8)));
  if (!triple_) return;
  roundKeys_[1] = ScheduleRoundKeys(BigEndian(key.subspan(8, 8)));
  roundKeys_[2] =
      key.size() == 24 ? ScheduleRoundKeys(BigEndian(key.subspan(16, 8))) : roundKeys_[0];
}

void DesCipher::Encipher(std::span<uint8_t> block) const {
  CheckBlock(block);
  uint64_t value = DesPass(BigEndian(block), roundKeys_[0], false);
  if (triple_) value = DesPass(DesPass(value, roundKeys_[1], true), roundKeys_[2], false);
  Store(value, block);
}

void DesCipher::Decipher(std::span<uint8_t> block) const {
  CheckBlock(block);
  uint64_t value = BigEndian(block);
  if (triple_) value = DesPass(DesPass(value, roundKeys_[2], true), roundKeys_[1], false);
  Store(DesPass(value, roundKeys_[0], true), block);
}

}  // namespace tarsin
