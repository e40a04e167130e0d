// SPDX-License-Identifier: Apache-2.0
// ISO (DES, 2K3DES, 3K3DES) and AES authentication and the EV1 form of ChangeKey.
#include <algorithm>

#include "desfire/native_commands.h"

namespace tarsin::sim::desfire {

namespace {

Bytes RotateLeft(const Bytes& bytes) {
  Bytes rotated(bytes.size());
  std::rotate_copy(bytes.begin(), bytes.begin() + 1, bytes.end(), rotated.begin());
  return rotated;
}

// Four bytes of RndA, then of RndB, from each offset.
Bytes SessionKey(const Bytes& rndA, const Bytes& rndB, std::initializer_list<size_t> offsets) {
  Bytes key;
  for (size_t offset : offsets) {
    key.insert(key.end(), rndA.begin() + static_cast<long>(offset),
               rndA.begin() + static_cast<long>(offset + 4));
    key.insert(key.end(), rndB.begin() + static_cast<long>(offset),
               rndB.begin() + static_cast<long>(offset + 4));
  }
  return key;
}

Reply AuthenticateEv1(CardContext& context, std::span<const uint8_t> data, bool aes) {
  if (data.size() != 1) return Reply::Status(status::kLengthError);
  context.DropAuthentication();
  context.DropPendingChanges();
  const Key* key = AddressedKey(context, data[0]);
  if (!key) return Reply::Status(status::kNoSuchKey);
  const KeyType type = context.CurrentKeyType();
  if (aes != (type == KeyType::kAes)) return Reply::Status(status::kAuthenticationError);
  Ev1AuthenticationStep step{.keyNumber = data[0]};
  // A DES/2K3DES key whose halves are equal is single DES, with an 8-byte session key.
  if (type == KeyType::kAes) {
    step.kind = CipherKind::kAes;
  } else if (type == KeyType::k3K3Des) {
    step.kind = CipherKind::k3K3Des;
  } else {
    step.kind = IsSingleDesKey(LegacyPart(*key)) ? CipherKind::kDes : CipherKind::k2K3Des;
  }
  step.key.assign(key->begin(), key->begin() + static_cast<long>(KeyLengthOf(step.kind)));
  step.rndB.resize(RandomLengthOf(step.kind));
  context.random(step.rndB);
  const Ev1Cipher cipher(step.kind, step.key);
  step.iv.assign(cipher.BlockSize(), 0);
  Bytes challenge = cipher.Encipher(step.rndB, step.iv);
  context.session.ev1Authentication = std::move(step);
  return Reply{status::kAdditionalFrame, {std::move(challenge)}};
}

}  // namespace

Reply AuthenticateIso(CardContext& context, std::span<const uint8_t> data) {
  return AuthenticateEv1(context, data, false);
}

Reply AuthenticateAes(CardContext& context, std::span<const uint8_t> data) {
  return AuthenticateEv1(context, data, true);
}

// The host's RndA and the card's rotated RndB, enciphered on from the challenge; the card
// answers RndA rotated, and the session starts with a zero vector.
Reply Ev1AuthenticateSecondPass(CardContext& context, std::span<const uint8_t> data) {
  Ev1AuthenticationStep step = std::move(*context.session.ev1Authentication);
  context.session.ev1Authentication.reset();
  const size_t size = step.rndB.size();
  if (data.size() != 2 * size) return Reply::Status(status::kLengthError);
  const Ev1Cipher cipher(step.kind, step.key);
  const Bytes plain = cipher.Decipher(data, step.iv);
  const Bytes rndA(plain.begin(), plain.begin() + static_cast<long>(size));
  if (!std::equal(plain.begin() + static_cast<long>(size), plain.end(),
                  RotateLeft(step.rndB).begin())) {
    return Reply::Status(status::kAuthenticationError);
  }
  Bytes answer = cipher.Encipher(RotateLeft(rndA), step.iv);
  Ev1Session session{.kind = step.kind};
  switch (step.kind) {
    case CipherKind::kDes:
      session.key = SessionKey(rndA, step.rndB, {0});
      break;
    case CipherKind::k2K3Des:
      session.key = SessionKey(rndA, step.rndB, {0, 4});
      break;
    case CipherKind::k3K3Des:
      session.key = SessionKey(rndA, step.rndB, {0, 6, 12});
      break;
    case CipherKind::kAes:
      session.key = SessionKey(rndA, step.rndB, {0, 12});
      break;
  }
  session.iv.assign(cipher.BlockSize(), 0);
  context.session.ev1 = std::move(session);
  context.session.authenticatedKey = step.keyNumber;
  context.AnswerProtected();
  return Reply{status::kOk, {std::move(answer)}};
}

// Enciphered: the new key (XOR the current one for another key), an AES key's version, the
// CRC32 of instruction, key number and all that; for another key then the CRC32 of the new key
// alone. At the card level the key number carries the new key's type.
Reply ChangeKeyEv1(CardContext& context, std::span<const uint8_t> data) {
  if (data.size() < 2) return Reply::Status(status::kLengthError);
  const uint8_t keyNumber = data[0] & 0x0F;
  const uint8_t typeBits = data[0] & 0xC0;
  const Application* application = context.SelectedApplication();
  if (typeBits == 0xC0 || (application && typeBits) || (data[0] & 0x30)) {
    return Reply::Status(status::kParameterError);
  }
  Key* key = AddressedKey(context, keyNumber);
  if (!key) return Reply::Status(status::kNoSuchKey);
  if (uint8_t refusal = ChangeKeyPermission(context, keyNumber); refusal != status::kOk) {
    return Reply::Status(refusal);
  }
  const KeyType type = application ? application->keyType : static_cast<KeyType>(typeBits);
  const size_t length = KeyLength(type);
  const size_t withVersion = length + (type == KeyType::kAes ? 1 : 0);
  const bool sameKey = context.AuthenticatedWith(keyNumber);
  if (data.size() !=
      1 + context.WireLength(Channel::kEnciphered, withVersion + (sameKey ? 0 : 4))) {
    return Reply::Status(status::kLengthError);
  }
  const Bytes plain = context.Ev1Decipher(data.subspan(1));
  Bytes covered{0xC4, data[0]};
  covered.insert(covered.end(), plain.begin(), plain.begin() + static_cast<long>(withVersion));
  const auto crcAt = [&](size_t offset, std::span<const uint8_t> over) {
    Bytes crc;
    AppendCrc32(crc, Crc32(over));
    return std::equal(crc.begin(), crc.end(), plain.begin() + static_cast<long>(offset));
  };
  if (!crcAt(withVersion, covered)) return Reply::Status(status::kIntegrityError);
  Key newKey{};
  std::copy_n(plain.begin(), withVersion, newKey.begin());
  if (!sameKey) {
    for (size_t i = 0; i < length; ++i) newKey[i] ^= (*key)[i];
    if (!crcAt(withVersion + 4, std::span(newKey).first(length))) {
      return Reply::Status(status::kIntegrityError);
    }
  }
  *key = newKey;
  if (!application) context.memory.piccKeyType = type;
  if (sameKey) context.DropAuthentication();
  return {};
}

}  // namespace tarsin::sim::desfire
