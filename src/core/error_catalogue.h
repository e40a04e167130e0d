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
};

// The entry of `number`; nullptr for a number the component never raises.
constexpr const ErrorEntry* FindError(uint32_t number) noexcept {
  for (const ErrorEntry& entry : kErrorCatalogue) {
    if (entry.number == number) return &entry;
  }
  return nullptr;
}

}  // namespace tarsin
