// SPDX-License-Identifier: Apache-2.0
// Legacy authentication and key management.
#include <algorithm>

#include "desfire/native_commands.h"

namespace tarsin::sim::desfire {

namespace {

constexpr uint8_t kChangeWithSameKey = 0xE;
constexpr uint8_t kChangeFrozen = 0xF;

std::array<uint8_t, 8> RotateLeft(std::span<const uint8_t, 8> bytes) {
  std::array<uint8_t, 8> rotated{};
  std::rotate_copy(bytes.begin(), bytes.begin() + 1, bytes.end(), rotated.begin());
  return rotated;
}

bool CrcMatches(const Bytes& plain, size_t offset, std::span<const uint8_t> covered) {
  const uint16_t crc = CrcA(covered);
  return plain[offset] == (crc & 0xFF) && plain[offset + 1] == (crc >> 8);
}

}  // namespace

Key* AddressedKey(CardContext& context, uint8_t keyNumber) {
  Application* application = context.SelectedApplication();
  if (!application) return keyNumber == 0 ? &context.memory.piccKey : nullptr;
  return keyNumber < application->keys.size() ? &application->keys[keyNumber] : nullptr;
}

uint8_t ChangeKeyPermission(CardContext& context, uint8_t keyNumber) {
  const uint8_t settings = context.CurrentKeySettings();
  if (context.AtCardLevel() || keyNumber == 0) {
    if (!context.AuthenticatedWith(0)) return status::kAuthenticationError;
    return (settings & key_settings::kMasterKeyChangeable) ? status::kOk
                                                           : status::kPermissionDenied;
  }
  const uint8_t changeKey = settings >> 4;
  if (changeKey == kChangeFrozen) return status::kPermissionDenied;
  const uint8_t required = changeKey == kChangeWithSameKey ? keyNumber : changeKey;
  return context.AuthenticatedWith(required) ? status::kOk : status::kAuthenticationError;
}

Reply Authenticate(CardContext& context, std::span<const uint8_t> data) {
  if (data.size() != 1) return Reply::Status(status::kLengthError);
  context.DropAuthentication();
  context.DropPendingChanges();
  const Key* key = AddressedKey(context, data[0]);
  if (!key) return Reply::Status(status::kNoSuchKey);
  // 3K3DES and AES keys answer only their own schemes.
  if (context.CurrentKeyType() != KeyType::kLegacy) {
    return Reply::Status(status::kAuthenticationError);
  }
  AuthenticationStep step{.keyNumber = data[0], .key = *key};
  context.random(step.rndB);
  const Bytes challenge = LegacyCipher(LegacyPart(step.key)).Encipher(step.rndB);
  context.session.authentication = step;
  return Reply{status::kAdditionalFrame, {challenge}};
}

Reply AuthenticateSecondPass(CardContext& context, std::span<const uint8_t> data) {
  const AuthenticationStep step = *context.session.authentication;
  context.session.authentication.reset();
  if (data.size() != 16) return Reply::Status(status::kLengthError);
  const LegacyCipher cipher(LegacyPart(step.key));
  const Bytes plain = cipher.Decipher(data);
  const std::span<const uint8_t, 8> rndA(plain.data(), 8);
  const auto expectedRndB = RotateLeft(step.rndB);
  if (!std::equal(expectedRndB.begin(), expectedRndB.end(), plain.begin() + 8)) {
    return Reply::Status(status::kAuthenticationError);
  }
  LegacyKey& session = context.session.sessionKey;
  std::copy_n(rndA.begin(), 4, session.begin());
  std::copy_n(step.rndB.begin(), 4, session.begin() + 4);
  if (cipher.IsSingleDes()) {
    std::copy_n(session.begin(), 8, session.begin() + 8);
  } else {
    std::copy_n(rndA.begin() + 4, 4, session.begin() + 8);
    std::copy_n(step.rndB.begin() + 4, 4, session.begin() + 12);
  }
  context.session.authenticatedKey = step.keyNumber;
  return Reply{status::kOk, {cipher.Encipher(RotateLeft(rndA))}};
}

Reply ChangeKey(CardContext& context, std::span<const uint8_t> data) {
  if (context.session.ev1) return ChangeKeyEv1(context, data);
  if (data.size() != 25) return Reply::Status(status::kLengthError);
  if (!context.session.authenticatedKey) return Reply::Status(status::kAuthenticationError);
  const uint8_t keyNumber = data[0];
  Key* key = AddressedKey(context, keyNumber);
  if (!key) return Reply::Status(status::kNoSuchKey);
  if (uint8_t refusal = ChangeKeyPermission(context, keyNumber); refusal != status::kOk) {
    return Reply::Status(refusal);
  }
  const Bytes plain = context.SessionCipher().Decipher(data.subspan(1));
  Key newKey{};
  const auto newPart = std::span(newKey).first(16);
  const bool sameKey = context.AuthenticatedWith(keyNumber);
  if (sameKey) {
    std::copy_n(plain.begin(), 16, newKey.begin());
    if (!CrcMatches(plain, 16, newPart)) return Reply::Status(status::kIntegrityError);
  } else {
    // The host sends the new key XOR the current one, so only a host that knows both succeeds.
    if (!CrcMatches(plain, 16, std::span(plain).first(16))) {
      return Reply::Status(status::kIntegrityError);
    }
    for (size_t i = 0; i < 16; ++i) newKey[i] = plain[i] ^ (*key)[i];
    if (!CrcMatches(plain, 18, newPart)) return Reply::Status(status::kIntegrityError);
  }
  *key = newKey;
  if (sameKey) context.DropAuthentication();
  return {};
}

Reply GetKeyVersion(CardContext& context, std::span<const uint8_t> data) {
  if (data.size() != 1) return Reply::Status(status::kLengthError);
  const Key* key = AddressedKey(context, data[0]);
  if (!key) return Reply::Status(status::kNoSuchKey);
  return Reply{status::kOk, {{KeyVersion(*key, context.CurrentKeyType())}}};
}

Reply GetKeySettings(CardContext& context, std::span<const uint8_t> data) {
  if (!data.empty()) return Reply::Status(status::kLengthError);
  const uint8_t settings = context.CurrentKeySettings();
  if (!(settings & key_settings::kFreeDirectory) && !context.AuthenticatedWith(0)) {
    return Reply::Status(status::kAuthenticationError);
  }
  const Application* application = context.SelectedApplication();
  // The key count carries the key type in its upper bits, as CreateApplication took it.
  const auto keyCount = static_cast<uint8_t>((application ? application->keys.size() : 1) |
                                             static_cast<uint8_t>(context.CurrentKeyType()));
  return Reply{status::kOk, {{settings, keyCount}}};
}

Reply ChangeKeySettings(CardContext& context, std::span<const uint8_t> data) {
  if (data.size() != context.WireLength(Channel::kEnciphered, 1)) {
    return Reply::Status(status::kLengthError);
  }
  if (!context.AuthenticatedWith(0)) return Reply::Status(status::kAuthenticationError);
  if (!(context.CurrentKeySettings() & key_settings::kConfigurationChangeable)) {
    return Reply::Status(status::kPermissionDenied);
  }
  const auto plain = context.Unprotect(Channel::kEnciphered, data, 0, 1);
  if (!plain) return Reply::Status(status::kIntegrityError);
  if (Application* application = context.SelectedApplication()) {
    application->keySettings = (*plain)[0];
  } else {
    context.memory.piccKeySettings = (*plain)[0];
  }
  return {};
}

}  // namespace tarsin::sim::desfire
