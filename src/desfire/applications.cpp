// SPDX-License-Identifier: Apache-2.0
// The card level: format, create and delete applications, list them, read the version.
#include <cmath>

#include "core/failure.h"
#include "core/numeric_text.h"
#include "desfire/desfire.h"
#include "pcsc/command_table.h"

namespace tarsin::desfire {
namespace {

constexpr size_t kVersionSize = 28;

// The application id of a create or delete: 6 hex digits, never the card level.
bool ApplicationIdOf(Operation& operation, const std::string& given, std::string& appId) {
  appId = given;
  return operation.Require(NormaliseHex(appId, 6) && appId != kCardLevel,
                           errors::kIncorrectApplicationId);
}

Variant ByteRange(const std::vector<uint8_t>& bytes, size_t first, size_t count) {
  return Variant(Variant::Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(first),
                                bytes.begin() + static_cast<std::ptrdiff_t>(first + count)));
}

// 1 to 14 keys, with the card's key-type bits (0x40 three-key triple DES, 0x80 AES) ORed in
// or not.
bool KeyCountAccepted(int32_t numOfKeys) {
  const int32_t type = numOfKeys & 0xC0;
  const int32_t count = numOfKeys & ~0xC0;
  return (type == 0x00 || type == 0x40 || type == 0x80) && count >= 1 && count <= 14;
}

}  // namespace

sceReturnCode Format(EncoderState& state) noexcept {
  Operation operation(state, "DESFireFormat", Operation::Entry::KeepError);
  if (!RequireCardLevel(operation)) return sceError;
  return StandardExchange(operation, {.code = ec_DesfireFormat}) ? scesuccess : sceError;
}

sceReturnCode CreateApplication(EncoderState& state, const std::string& applicationId,
                                int32_t keySettings, int32_t numOfKeys) noexcept {
  Operation operation(state, "DESFireCreateApplication", Operation::Entry::KeepError);
  std::string appId;
  if (!RequireCardLevel(operation) || !ApplicationIdOf(operation, applicationId, appId) ||
      !operation.Require(keySettings >= 0 && keySettings <= 255, errors::kInvalidParameter) ||
      !operation.Require(KeyCountAccepted(numOfKeys), errors::kInvalidParameter)) {
    return sceError;
  }
  ByteVector data = HexToBytes(appId);
  data.push_back(static_cast<uint8_t>(keySettings));
  data.push_back(static_cast<uint8_t>(numOfKeys));
  return StandardExchange(operation, {.code = ec_DesfireCreateApplication, .data = data})
             ? scesuccess
             : sceError;
}

sceReturnCode DeleteApplication(EncoderState& state, const std::string& applicationId) noexcept {
  Operation operation(state, "DESFireDeleteApplication", Operation::Entry::KeepError);
  std::string appId;
  if (!ApplicationIdOf(operation, applicationId, appId)) return sceError;
  return StandardExchange(operation,
                          {.code = ec_DesfireDeleteApplication, .data = HexToBytes(appId)})
             ? scesuccess
             : sceError;
}

sceReturnCode GetApplications(EncoderState& state, std::string& applications) noexcept {
  Operation operation(state, "DESFireGetApplications", Operation::Entry::KeepError);
  NativeAnswer answer;
  if (!StandardExchange(operation, {.code = ec_DesfireGetApplications}, answer)) return sceError;
  const std::string response = BytesToHex(answer.data);
  // Three bytes an id, ids joined by commas.
  std::string list;
  for (size_t i = 0; i < response.size(); i += 6) {
    if (i > 0) list += ',';
    list += response.substr(i, 6);
  }
  applications = std::move(list);
  return scesuccess;
}

sceReturnCode GetVersion(EncoderState& state, int32_t requested, Variant& information) noexcept {
  Operation operation(state, "DESFireGetVersion", Operation::Entry::KeepError);
  if (state.VersionBytes.size() != kVersionSize) {
    NativeAnswer answer;
    if (!StandardExchange(operation, {.code = ec_DesfireGetVersion}, answer)) return sceError;
    state.VersionBytes = std::move(answer.data);
  }
  const std::vector<uint8_t>& bytes = state.VersionBytes;
  const auto missing = [&](size_t end) {
    if (bytes.size() >= end) return false;
    information = Variant(uint8_t{0});
    operation.Refuse(errors::kOperationFailed);
    return true;
  };
  switch (requested) {
    case dfvAllData:
      if (missing(kVersionSize)) return sceError;
      information = Variant(Variant::Bytes(bytes));
      return scesuccess;
    case dfvStorageSize: {
      if (missing(dfvSoftwareStorageSize + 1)) return sceError;
      // 2^(b/2) bytes, half as much again when b is odd.
      const int size = dfvSoftwareStorageSize;
      const uint8_t b = bytes[size];
      const auto value = RoundToInt32(std::ldexp(1.0, b / 2) * (b % 2 == 0 ? 1.0 : 1.5));
      // A size beyond 32 bits cannot be given; the step is abandoned.
      if (value) information = Variant(*value);
      return scesuccess;
    }
    case dfvUID:
      if (missing(dfvUID + 7)) return sceError;
      information = ByteRange(bytes, dfvUID, 7);
      return scesuccess;
    case dfvBatchNo:
      if (missing(dfvBatchNo + 5)) return sceError;
      information = ByteRange(bytes, dfvBatchNo, 5);
      return scesuccess;
    default:
      if (requested < 0 || requested >= static_cast<int32_t>(kVersionSize)) {
        return operation.Refuse(errors::kInvalidParameter);
      }
      if (missing(static_cast<size_t>(requested) + 1)) return sceError;
      information = Variant(bytes[static_cast<size_t>(requested)]);
      return scesuccess;
  }
}

}  // namespace tarsin::desfire
