// SPDX-License-Identifier: Apache-2.0
#include "reader/storage_commands.h"

#include <algorithm>

#include "card/mifare_classic.h"

namespace tarsin::sim {

namespace {

using StatusWord = std::uint16_t;
constexpr StatusWord kSuccess = 0x9000;
constexpr StatusWord kEndOfData = 0x6282;
constexpr StatusWord kNoInformation = 0x6300;
constexpr StatusWord kMemoryFailure = 0x6581;
constexpr StatusWord kWrongLength = 0x6700;
constexpr StatusWord kSecurityNotSatisfied = 0x6982;
constexpr StatusWord kReferenceKeyNotUsable = 0x6984;
constexpr StatusWord kSecuredTransmissionNotSupported = 0x6985;
constexpr StatusWord kKeyTypeNotKnown = 0x6986;
constexpr StatusWord kKeyNumberNotValid = 0x6988;
constexpr StatusWord kKeyLengthNotCorrect = 0x6989;
constexpr StatusWord kFunctionNotSupported = 0x6A81;
constexpr StatusWord kBlockNotFound = 0x6A82;
constexpr StatusWord kWrongParameters = 0x6B00;
constexpr StatusWord kWrongLe = 0x6C00;
constexpr StatusWord kInstructionNotSupported = 0x6D00;

constexpr std::size_t kBlockSize = 16;

Bytes Answer(StatusWord sw, Bytes data = {}) {
  data.push_back(static_cast<std::uint8_t>(sw >> 8));
  data.push_back(static_cast<std::uint8_t>(sw & 0xFF));
  return data;
}

// The APDU split into its fields; `valid` is false when the length bytes disagree with the size.
struct Apdu {
  std::uint8_t ins, p1, p2;
  Bytes data;
  std::optional<std::size_t> le;  // 0 stands for 256
  bool valid = true;

  explicit Apdu(const Bytes& bytes) : ins(bytes[1]), p1(bytes[2]), p2(bytes[3]) {
    if (bytes.size() == 4) return;
    std::size_t lc = bytes[4];
    if (bytes.size() == 5) {
      le = lc;
    } else if (bytes.size() == 5 + lc) {
      data.assign(bytes.begin() + 5, bytes.end());
    } else if (bytes.size() == 6 + lc) {
      data.assign(bytes.begin() + 5, bytes.end() - 1);
      le = bytes.back();
    } else {
      valid = false;
    }
  }
  unsigned Address() const { return static_cast<unsigned>(p1) << 8 | p2; }
};

StatusWord StatusFor(CardAnswer answer, StatusWord no_such_block) {
  switch (answer) {
    case CardAnswer::kOk:
      return kSuccess;
    case CardAnswer::kNoSuchBlock:
      return no_such_block;
    case CardAnswer::kAuthenticationFailed:
      return kNoInformation;
    case CardAnswer::kDenied:
      return kSecurityNotSatisfied;
    case CardAnswer::kNotSupported:
      return kFunctionNotSupported;
    case CardAnswer::kWrongLength:
      return kWrongLength;
  }
  return kNoInformation;
}

Bytes GetData(const Apdu& apdu, const Card& card) {
  if (!apdu.le || !apdu.data.empty()) return Answer(kWrongLength);
  if (apdu.p2 != 0x00) return Answer(kWrongParameters);
  std::optional<Bytes> value;
  if (apdu.p1 == 0x00) {
    value = card.Uid();
  } else if (apdu.p1 == 0x01) {
    value = card.Ats();
    if (!value) return Answer(kFunctionNotSupported);
  } else {
    return Answer(kWrongParameters);
  }
  std::size_t wanted = *apdu.le;
  if (wanted == 0) return Answer(kSuccess, *value);
  if (wanted < value->size()) return Answer(static_cast<StatusWord>(kWrongLe | value->size()));
  if (wanted > value->size()) return Answer(kEndOfData, *value);
  return Answer(kSuccess, *value);
}

Bytes LoadKey(const Apdu& apdu, KeySlots& key_slots) {
  constexpr std::uint8_t kCardKey = 0x80, kSecured = 0x40;
  if (!apdu.valid || apdu.le) return Answer(kWrongLength);
  if (apdu.p1 & kCardKey) return Answer(kSecurityNotSatisfied);
  if (apdu.p1 & kSecured) return Answer(kSecuredTransmissionNotSupported);
  if (apdu.p2 >= key_slots.size()) return Answer(kKeyNumberNotValid);
  if (apdu.data.size() != 6) return Answer(kKeyLengthNotCorrect);
  MifareKey key;
  std::copy(apdu.data.begin(), apdu.data.end(), key.begin());
  key_slots[apdu.p2] = key;
  return Answer(kSuccess);
}

Bytes GeneralAuthenticate(const Apdu& apdu, Card& card, const KeySlots& key_slots,
                          const ReaderOptions& options) {
  constexpr std::uint8_t kVersion = 0x01, kKeyA = 0x60, kKeyB = 0x61;
  if (!apdu.valid || apdu.le || apdu.data.size() != 5) return Answer(kWrongLength);
  if (apdu.p1 != 0 || apdu.p2 != 0) return Answer(kWrongParameters);
  const Bytes& object = apdu.data;
  if (object[0] != kVersion) return Answer(kWrongParameters);
  if (object[3] != kKeyA && object[3] != kKeyB) return Answer(kKeyTypeNotKnown);
  if (object[4] >= key_slots.size()) return Answer(kKeyNumberNotValid);
  const auto& key = key_slots[object[4]];
  if (!key) return Answer(kReferenceKeyNotUsable);
  StorageCard* storage = card.Storage();
  if (!storage) return Answer(kFunctionNotSupported);
  unsigned block = static_cast<unsigned>(object[1]) << 8 | object[2];
  auto answer = storage->Authenticate(block, object[3] == kKeyA ? KeyType::kA : KeyType::kB, *key);
  if (answer == CardAnswer::kNotSupported) {
    return Answer(options.authenticate_keyless_cards ? kSuccess : kNoInformation);
  }
  return Answer(StatusFor(answer, kMemoryFailure));
}

Bytes ReadBinary(const Apdu& apdu, Card& card) {
  if (!apdu.le || !apdu.data.empty()) return Answer(kWrongLength);
  StorageCard* storage = card.Storage();
  if (!storage) return Answer(kFunctionNotSupported);
  std::size_t wanted = *apdu.le == 0 ? kBlockSize : *apdu.le;
  if (wanted > kBlockSize) return Answer(static_cast<StatusWord>(kWrongLe | kBlockSize));
  Bytes data;
  auto answer = storage->Read(apdu.Address(), data);
  if (answer != CardAnswer::kOk) return Answer(StatusFor(answer, kBlockNotFound));
  data.resize(wanted);
  return Answer(kSuccess, std::move(data));
}

Bytes UpdateBinary(const Apdu& apdu, Card& card) {
  if (!apdu.valid || apdu.le || apdu.data.empty()) return Answer(kWrongLength);
  StorageCard* storage = card.Storage();
  if (!storage) return Answer(kFunctionNotSupported);
  return Answer(StatusFor(storage->Write(apdu.Address(), apdu.data), kBlockNotFound));
}

std::uint32_t BigEndianValue(const Bytes& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = value << 8 | bytes[offset + i];
  return value;
}

// Value-block operations in the form many part-3 readers offer: FF D7 00 <block> 05 <op> <value,
// most significant byte first> with op 00 store, 01 increment, 02 decrement (each transferred
// back into the same block), and FF D7 00 <source> 02 03 <target> for restore and transfer.
// These readers answer every refusal by the card with 63 00.
Bytes ValueOperation(const Apdu& apdu, Card& card) {
  constexpr std::uint8_t kStore = 0x00, kIncrement = 0x01, kDecrement = 0x02, kRestore = 0x03;
  if (!apdu.valid || apdu.le) return Answer(kWrongLength);
  StorageCard* storage = card.Storage();
  if (!storage) return Answer(kFunctionNotSupported);
  if (apdu.p1 != 0) return Answer(kWrongParameters);
  unsigned block = apdu.p2;
  CardAnswer answer;
  if (apdu.data.size() == 2 && apdu.data[0] == kRestore) {
    answer = storage->Restore(block);
    if (answer == CardAnswer::kOk) answer = storage->Transfer(apdu.data[1]);
  } else if (apdu.data.size() == 5) {
    std::uint32_t value = BigEndianValue(apdu.data, 1);
    switch (apdu.data[0]) {
      case kStore: {
        auto stored =
            ValueBlock(static_cast<std::int32_t>(value), static_cast<std::uint8_t>(block));
        answer = storage->Write(block, Bytes(stored.begin(), stored.end()));
        break;
      }
      case kIncrement:
        answer = storage->Increment(block, value);
        if (answer == CardAnswer::kOk) answer = storage->Transfer(block);
        break;
      case kDecrement:
        answer = storage->Decrement(block, value);
        if (answer == CardAnswer::kOk) answer = storage->Transfer(block);
        break;
      default:
        return Answer(kWrongParameters);
    }
  } else {
    return Answer(kWrongLength);
  }
  return Answer(answer == CardAnswer::kOk ? kSuccess : kNoInformation);
}

// FF B1 00 <block> 04: the value of a value block, most significant byte first.
Bytes ReadValue(const Apdu& apdu, Card& card) {
  if (!apdu.le || !apdu.data.empty()) return Answer(kWrongLength);
  StorageCard* storage = card.Storage();
  if (!storage) return Answer(kFunctionNotSupported);
  Bytes data;
  if (apdu.p1 != 0 || storage->Read(apdu.p2, data) != CardAnswer::kOk) {
    return Answer(kNoInformation);
  }
  MifareClassic::Block block;
  std::copy(data.begin(), data.end(), block.begin());
  auto value = ValueOf(block);
  if (!value) return Answer(kNoInformation);
  auto bits = static_cast<std::uint32_t>(*value);
  return Answer(kSuccess,
                {static_cast<std::uint8_t>(bits >> 24), static_cast<std::uint8_t>(bits >> 16),
                 static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits)});
}

}  // namespace

Bytes StorageCommand(const Bytes& bytes, Card& card, KeySlots& key_slots,
                     const ReaderOptions& options) {
  Apdu apdu(bytes);
  switch (apdu.ins) {
    case 0xCA:
      return GetData(apdu, card);
    case 0x82:
      return LoadKey(apdu, key_slots);
    case 0x86:
      return GeneralAuthenticate(apdu, card, key_slots, options);
    case 0xB0:
      return ReadBinary(apdu, card);
    case 0xD6:
      return UpdateBinary(apdu, card);
    case 0xD7:
      return ValueOperation(apdu, card);
    case 0xB1:
      return ReadValue(apdu, card);
    default:
      return Answer(kInstructionNotSupported);
  }
}

}  // namespace tarsin::sim
