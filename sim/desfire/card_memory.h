// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "desfire/desfire_card.h"
#include "desfire/legacy_cipher.h"

namespace tarsin::sim::desfire {

// Native status codes (second byte of the 91xx status word).
namespace status {
inline constexpr uint8_t kOk = 0x00;
inline constexpr uint8_t kNoChanges = 0x0C;
inline constexpr uint8_t kOutOfMemory = 0x0E;
inline constexpr uint8_t kIllegalCommand = 0x1C;
inline constexpr uint8_t kIntegrityError = 0x1E;
inline constexpr uint8_t kNoSuchKey = 0x40;
inline constexpr uint8_t kLengthError = 0x7E;
inline constexpr uint8_t kPermissionDenied = 0x9D;
inline constexpr uint8_t kParameterError = 0x9E;
inline constexpr uint8_t kApplicationNotFound = 0xA0;
inline constexpr uint8_t kAuthenticationError = 0xAE;
inline constexpr uint8_t kAdditionalFrame = 0xAF;
inline constexpr uint8_t kBoundaryError = 0xBE;
inline constexpr uint8_t kCommandAborted = 0xCA;
inline constexpr uint8_t kCountError = 0xCE;
inline constexpr uint8_t kDuplicateError = 0xDE;
inline constexpr uint8_t kFileNotFound = 0xF0;
}  // namespace status

// Bits of the key settings byte, at the card level and in applications alike; an application's
// upper nibble names the key that changes the others.
namespace key_settings {
inline constexpr uint8_t kMasterKeyChangeable = 0x01;
inline constexpr uint8_t kFreeDirectory = 0x02;
inline constexpr uint8_t kFreeCreateDelete = 0x04;
inline constexpr uint8_t kConfigurationChangeable = 0x08;
}  // namespace key_settings

// The key type of a level: bits 7..6 of CreateApplication's key count byte, and of ChangeKey's key
// number for the card master key.
enum class KeyType : uint8_t { kLegacy = 0x00, k3K3Des = 0x40, kAes = 0x80 };

// DES/2K3DES keys take the first 16 bytes, 3K3DES keys all 24, AES keys the first 16 and their
// version byte 16.
using Key = std::array<uint8_t, 24>;
using LegacyKey = std::array<uint8_t, 16>;

inline std::span<const uint8_t, 16> LegacyPart(const Key& key) {
  return std::span<const uint8_t, 16>(key.data(), 16);
}
// The bytes of the key proper: 16, or 24 for 3K3DES.
size_t KeyLength(KeyType type);

// A DES or 3DES key keeps its version in the parity bits of its first eight bytes.
uint8_t KeyVersion(const Key& key, KeyType type = KeyType::kLegacy);
void SetKeyVersion(Key& key, uint8_t version);

enum class FileType : uint8_t { kStandard = 0, kBackup = 1, kValue = 2, kLinear = 3, kCyclic = 4 };

// Access rights as the card stores them: byte 1 = ReadWrite << 4 | Change, byte 2 = Read << 4 |
// Write. 0xE is free access, 0xF no access, anything else a key number.
struct AccessRights {
  uint8_t read = 0xE, write = 0xE, readWrite = 0xE, change = 0xE;

  static AccessRights FromBytes(uint8_t first, uint8_t second);
  std::array<uint8_t, 2> ToBytes() const;
};

struct DesfireFile {
  FileType type = FileType::kStandard;
  uint8_t communication = 0;
  AccessRights access;
  Bytes data;  // standard and backup files
  int32_t lowerLimit = 0, upperLimit = 0, value = 0, limitedCreditValue = 0;
  bool limitedCreditEnabled = false;
  uint32_t recordSize = 0, maxRecords = 0;
  std::vector<Bytes> records;      // oldest first
  std::optional<uint16_t> isoFid;  // in applications created with ISO file ids

  bool IsTransactional() const { return type != FileType::kStandard; }
};

struct Application {
  uint32_t id = 0;
  uint8_t keySettings = 0x0F;
  KeyType keyType = KeyType::kLegacy;
  std::vector<Key> keys;
  std::map<uint8_t, DesfireFile> files;
  std::optional<uint16_t> isoFid;  // the EV1 form of CreateApplication; then files may have one
  Bytes dfName;                    // 0 to 16 bytes, with an ISO file id only
};

// Bits of the card configuration byte (SetConfiguration option 00).
namespace configuration {
inline constexpr uint8_t kFormatDisabled = 0x01;
inline constexpr uint8_t kRandomUid = 0x02;  // kept once set; the UID itself stays
}  // namespace configuration

// Where the historical bytes of an ATS start: after TL, T0 and the interface bytes T0 announces.
size_t AtsHistoricalBytes(const Bytes& ats);

// What tells the sizes apart: GetVersion's storage byte, the memory, the readers-file type.
struct CapacityFacts {
  DesfireCapacity capacity;
  uint8_t storageSize;
  uint32_t bytes;
  const char* type;
};
const CapacityFacts& FactsOf(DesfireCapacity capacity);
// Throws std::invalid_argument for a type that is not a DESFire card.
DesfireCapacity CapacityOfType(const std::string& type);

// Everything the card keeps across a field reset (and in the JSON file).
struct CardMemory {
  DesfireCapacity capacity = DesfireCapacity::k4K;
  Bytes uid;
  Bytes batch;
  uint8_t productionWeek = 0x20, productionYear = 0x12;
  uint8_t piccKeySettings = 0x0F;
  Key piccKey{};
  KeyType piccKeyType = KeyType::kLegacy;  // the card master key may become 3K3DES or AES
  uint8_t configuration = 0;
  Key defaultKey{};  // the keys of new applications (SetConfiguration option 01)
  Bytes ats;         // as the card answers RATS (option 02)
  std::vector<Application> applications;  // in creation order, as listed by the card
  uint32_t usedMemory = 0;

  uint32_t TotalMemory() const;
  Application* FindApplication(uint32_t id);
};

}  // namespace tarsin::sim::desfire
