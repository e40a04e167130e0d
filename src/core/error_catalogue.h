// SPDX-License-Identifier: Apache-2.0
// Every error number of the component with its one description. Code that raises or records an
// error names an entry here; the text is never written anywhere else.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarsin {

struct ErrorEntry {
  uint32_t number;
  std::string_view description;
};

namespace errors {

// Encoder and transport, 0x90010Fxx.
inline constexpr ErrorEntry kEncoderClosed{0x90010F01, "Encoder is closed"};
inline constexpr ErrorEntry kCannotEstablish{0x90010F02, "Cannot open encoder"};  // no context
inline constexpr ErrorEntry kCannotConnect{0x90010F03, "Cannot open encoder"};    // no reader
inline constexpr ErrorEntry kCommandFailed{0x90010F04, "Encoder command failed"};
inline constexpr ErrorEntry kAuthenticationFailure{0x90010F05, "Authentication failure"};
inline constexpr ErrorEntry kNoCard{0x90010F06, "No card in encoder"};

// MIFARE operations, 0x90010Bxx.
inline constexpr ErrorEntry kIncorrectOffsets{0x90010B04, "Incorrect offsets in parameters"};
inline constexpr ErrorEntry kIncorrectBX{0x90010B05, "Incorrect value for BX"};
inline constexpr ErrorEntry kKeyLength{0x90010B30, "A key must contain 12 hex digits"};
inline constexpr ErrorEntry kSecurityInformation{0x90010B32,
                                                 "Invalid security information in parameters"};
inline constexpr ErrorEntry kReadError{0x90010B40, "Read error on encoder"};
inline constexpr ErrorEntry kWriteError{0x90010B41, "Write error on encoder"};
inline constexpr ErrorEntry kDataBlocLength{0x90010B42, "A data bloc must contain 32 hex digits"};

// DESFire operations, 0x90010Exx.
inline constexpr ErrorEntry kOperationFailed{0x90010E03, "The requested operation failed"};
inline constexpr ErrorEntry kNotAuthenticated{0x90010E11, "Not authenticated"};
inline constexpr ErrorEntry kRootLevelOnly{0x90010E12,
                                           "This command is only available at root level"};
inline constexpr ErrorEntry kIncorrectApplicationId{0x90010E20, "Incorrect Application ID"};
inline constexpr ErrorEntry kCannotConnectPicc{0x90010E21, "Cannot connect to PICC application"};
inline constexpr ErrorEntry kBadKeyNumber{0x90010E31, "Bad key number"};
inline constexpr ErrorEntry kBadKeyLength{0x90010E32, "Bad key length"};
inline constexpr ErrorEntry kInvalidKey{0x90010E33, "Invalid key"};
inline constexpr ErrorEntry kInvalidParameter{0x90010E40, "Invalid parameter"};
inline constexpr ErrorEntry kInvalidFileNumber{0x90010E41, "Invalid file number"};
inline constexpr ErrorEntry kInvalidCommunicationSettings{0x90010E42,
                                                          "Invalid communication settings"};
inline constexpr ErrorEntry kInvalidFileSize{0x90010E43, "Invalid file size"};
inline constexpr ErrorEntry kInvalidLimits{0x90010E44, "Invalid limits"};
inline constexpr ErrorEntry kValueOutOfBounds{0x90010E45,
                                              "The value isn't between lower and upper bounds"};
inline constexpr ErrorEntry kInvalidRecordSize{0x90010E46, "Invalid record size"};
inline constexpr ErrorEntry kInvalidRecordCount{0x90010E47, "Invalid record count"};
inline constexpr ErrorEntry kWrongFileType{0x90010E48,
                                           "This function can't be used with this type of file"};
inline constexpr ErrorEntry kInvalidOffset{0x90010E49, "Invalid offset value"};
inline constexpr ErrorEntry kInvalidLength{0x90010E4A, "Invalid length"};
inline constexpr ErrorEntry kFileNotFoundOnCard{0x90010E4D, "File not found"};
inline constexpr ErrorEntry kInvalidAmount{0x90010E4E, "Invalid amount"};
inline constexpr ErrorEntry kNoBackupChanges{0x90010E4F,
                                             "No changes in backup files, abort/commit not needed"};
inline constexpr ErrorEntry kValueExceedsLimits{0x90010E50,
                                                "Value stored in the file exceeds the limits"};
inline constexpr ErrorEntry kCreditExceedsLimit{0x90010E51,
                                                "Credit amount exceeds the allowed limit"};
// Beyond the described numbers: an EV1 answer whose CMAC does not verify is never taken as data.
inline constexpr ErrorEntry kForgedAnswer{0x90010E52, "Answer authentication failed"};

// The cipher and converter raise 0xA00100xx to their callers; they never reach LastError as such.
inline constexpr ErrorEntry kDesBadKeyIndex{0xA0010001, "Bad key index"};
inline constexpr ErrorEntry kDesBadParameterType{0xA0010002, "Bad parameter type"};
inline constexpr ErrorEntry kDesInvalidHex{0xA0010003, "Invalid hexadecimal string"};
inline constexpr ErrorEntry kDesInvalidAlgorithm{0xA0010004, "Invalid cipher algorithm"};
inline constexpr ErrorEntry kDesInvalidChaining{0xA0010005, "Invalid chaining mode"};
inline constexpr ErrorEntry kDesBadPadding{0xA0010006, "Bad padding mode"};
// Decrypt in send mode takes whole 8-byte blocks only.
inline constexpr ErrorEntry kDesInvalidDataLength{0xA0010007, "Invalid data length"};

// A platform library or entry point that cannot be loaded: the run-time's own numbers, whose
// descriptions name the library ("File not found: <library>", "Can't find DLL entry point
// <name> in <library>").
inline constexpr ErrorEntry kFileNotFound{53, "File not found"};
inline constexpr ErrorEntry kEntryPointNotFound{453, "Can't find DLL entry point"};
// The run-time's number for an object it cannot create: the dialog library could not show its
// dialog (no display).
inline constexpr ErrorEntry kDialogUnavailable{429, "ActiveX component can't create object"};
// The run-time's number for a failed system call: the random generator could not be read.
inline constexpr ErrorEntry kRandomUnavailable{51, "Internal error"};

}  // namespace errors

inline constexpr ErrorEntry kErrorCatalogue[] = {
    errors::kEncoderClosed,
    errors::kCannotEstablish,
    errors::kCannotConnect,
    errors::kCommandFailed,
    errors::kAuthenticationFailure,
    errors::kNoCard,
    errors::kIncorrectOffsets,
    errors::kIncorrectBX,
    errors::kKeyLength,
    errors::kSecurityInformation,
    errors::kReadError,
    errors::kWriteError,
    errors::kDataBlocLength,
    errors::kOperationFailed,
    errors::kNotAuthenticated,
    errors::kRootLevelOnly,
    errors::kIncorrectApplicationId,
    errors::kCannotConnectPicc,
    errors::kBadKeyNumber,
    errors::kBadKeyLength,
    errors::kInvalidKey,
    errors::kInvalidParameter,
    errors::kInvalidFileNumber,
    errors::kInvalidCommunicationSettings,
    errors::kInvalidFileSize,
    errors::kInvalidLimits,
    errors::kValueOutOfBounds,
    errors::kInvalidRecordSize,
    errors::kInvalidRecordCount,
    errors::kWrongFileType,
    errors::kInvalidOffset,
    errors::kInvalidLength,
    errors::kFileNotFoundOnCard,
    errors::kInvalidAmount,
    errors::kNoBackupChanges,
    errors::kValueExceedsLimits,
    errors::kCreditExceedsLimit,
    errors::kForgedAnswer,
    errors::kDesBadKeyIndex,
    errors::kDesBadParameterType,
    errors::kDesInvalidHex,
    errors::kDesInvalidAlgorithm,
    errors::kDesInvalidChaining,
    errors::kDesBadPadding,
    errors::kDesInvalidDataLength,
    errors::kFileNotFound,
    errors::kEntryPointNotFound,
    errors::kDialogUnavailable,
    errors::kRandomUnavailable,
};

// A host tells the errors apart by their numbers alone: no two entries may share one.
constexpr bool NumbersAreUnique() {
  for (const ErrorEntry& entry : kErrorCatalogue) {
    for (const ErrorEntry& other : kErrorCatalogue) {
      if (&entry != &other && entry.number == other.number) return false;
    }
  }
  return true;
}
static_assert(NumbersAreUnique(), "two entries of the error catalogue share a number");

}  // namespace tarsin
