// SPDX-License-Identifier: Apache-2.0
// The key texts the DESFire members take: the described forms (1 to 16 hex digits DES, 32 two-key
// triple DES, legacy authentication) and the forms with a type prefix, case-insensitive:
// "AES:" 32 digits with an optional "/VV" key version, "3K3DES:" 48 digits, "ISO:" 16 or 32
// digits (DES-family keys authenticated the ISO way). Blanks are ignored as in every hex text.
#pragma once

#include <cstdint>
#include <string_view>
#include <variant>

#include "core/hex_text.h"
#include "core/state.h"

namespace tarsin::desfire {

enum class Authentication : uint8_t {
  Legacy,  // 0x0A
  Iso,     // 0x1A
  Aes,     // 0xAA
};

struct DesfireKey {
  DesfireKeyType type = DesfireKeyType::Des;
  Authentication authentication = Authentication::Legacy;
  ByteVector bytes;     // 8, 16 or 24 bytes; a short DES key filled with zeros on the left
  uint8_t version = 0;  // AES keys only: DES-family versions live in the parity bits
  bool operator==(const DesfireKey&) const = default;
};

enum class KeyTextRefusal : uint8_t {
  NotAKey,    // neither a described form nor a prefixed one: each member's own refusal
  BadLength,  // a form it knows, with the wrong number of digits
};

std::variant<DesfireKey, KeyTextRefusal> ParseKeyText(std::string_view text);

}  // namespace tarsin::desfire
