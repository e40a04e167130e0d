// SPDX-License-Identifier: Apache-2.0
#include "desfire/key_text.h"

#include <array>
#include <string>

#include "core/ascii_text.h"

namespace tarsin::desfire {
namespace {

struct Prefix {
  std::string_view name;
  DesfireKeyType type;
  Authentication authentication;
  size_t digits;           // the key's length in hex digits
  size_t otherDigits = 0;  // a second length the prefix takes (ISO: DES or two-key)
  bool versioned = false;  // "/VV" may follow
};

constexpr std::array<Prefix, 3> kPrefixes{{
    {"AES:", DesfireKeyType::Aes, Authentication::Aes, 32, 0, true},
    {"3K3DES:", DesfireKeyType::ThreeKeyTripleDes, Authentication::Iso, 48},
    {"ISO:", DesfireKeyType::Des, Authentication::Iso, 16, 32},
}};

// `text` without blanks, upper case; nullopt when anything but hex digits remains.
std::optional<std::string> HexDigits(std::string_view text) {
  std::string digits(text);
  if (!IsHexString(digits)) return std::nullopt;
  return digits;
}

std::variant<DesfireKey, KeyTextRefusal> Prefixed(const Prefix& prefix, std::string_view rest) {
  DesfireKey key{.type = prefix.type, .authentication = prefix.authentication};
  if (const size_t slash = rest.find('/'); slash != std::string_view::npos) {
    const auto version = HexDigits(rest.substr(slash + 1));
    if (!prefix.versioned || !version || version->size() != 2) return KeyTextRefusal::NotAKey;
    key.version = HexToBytes(*version)[0];
    rest = rest.substr(0, slash);
  }
  const auto digits = HexDigits(rest);
  if (!digits) return KeyTextRefusal::NotAKey;
  if (digits->size() == prefix.otherDigits && prefix.otherDigits != 0) {
    key.type = DesfireKeyType::TwoKeyTripleDes;
  } else if (digits->size() != prefix.digits) {
    return KeyTextRefusal::BadLength;
  }
  key.bytes = HexToBytes(*digits);
  return key;
}

}  // namespace

std::variant<DesfireKey, KeyTextRefusal> ParseKeyText(std::string_view text) {
  const size_t start = text.find_first_not_of(' ');
  const std::string_view trimmed = start == std::string_view::npos ? "" : text.substr(start);
  for (const Prefix& prefix : kPrefixes) {
    if (trimmed.size() >= prefix.name.size() &&
        EqualsIgnoringCase(trimmed.substr(0, prefix.name.size()), prefix.name)) {
      return Prefixed(prefix, trimmed.substr(prefix.name.size()));
    }
  }
  auto digits = HexDigits(text);
  if (!digits) return KeyTextRefusal::NotAKey;
  if (digits->size() == 32) {
    return DesfireKey{.type = DesfireKeyType::TwoKeyTripleDes, .bytes = HexToBytes(*digits)};
  }
  if (digits->empty() || digits->size() > 16) return KeyTextRefusal::BadLength;
  digits->insert(0, 16 - digits->size(), '0');
  return DesfireKey{.type = DesfireKeyType::Des, .bytes = HexToBytes(*digits)};
}

}  // namespace tarsin::desfire
