// SPDX-License-Identifier: Apache-2.0
// The key texts: the described forms keep their meaning, the prefixed ones name type,
// authentication and version, and everything else is refused the way the members need.
#include "desfire/key_text.h"

#include <gtest/gtest.h>

namespace tarsin::desfire {
namespace {

TEST(KeyText, FormsAndRefusals) {
  using enum DesfireKeyType;
  using Auth = Authentication;
  const std::string aes = "00112233445566778899AABBCCDDEEFF";
  const std::pair<std::string, std::variant<DesfireKey, KeyTextRefusal>> rows[] = {
      {"1", DesfireKey{Des, Auth::Legacy, HexToBytes("0000000000000001")}},
      {" 01 23 45 67 89 ab cd ef ", DesfireKey{Des, Auth::Legacy, HexToBytes("0123456789ABCDEF")}},
      {aes, DesfireKey{TwoKeyTripleDes, Auth::Legacy, HexToBytes(aes)}},
      {"aes: " + aes, DesfireKey{Aes, Auth::Aes, HexToBytes(aes)}},
      {"AES:" + aes + "/1F", DesfireKey{Aes, Auth::Aes, HexToBytes(aes), 0x1F}},
      {"3k3des:" + aes + "0011223344556677",
       DesfireKey{ThreeKeyTripleDes, Auth::Iso, HexToBytes(aes + "0011223344556677")}},
      {"ISO:0123456789ABCDEF", DesfireKey{Des, Auth::Iso, HexToBytes("0123456789ABCDEF")}},
      {"ISO:" + aes, DesfireKey{TwoKeyTripleDes, Auth::Iso, HexToBytes(aes)}},
      {"", KeyTextRefusal::BadLength},
      {aes + "00", KeyTextRefusal::BadLength},
      {"AES:0011", KeyTextRefusal::BadLength},
      {"3K3DES:" + aes, KeyTextRefusal::BadLength},
      {"XYZ:" + aes, KeyTextRefusal::NotAKey},
      {"AES:" + aes + "/1", KeyTextRefusal::NotAKey},
      {"ISO:0123456789ABCDEF/01", KeyTextRefusal::NotAKey},  // versions are AES keys' only
      {"AES:" + aes.substr(0, 31) + "G", KeyTextRefusal::NotAKey},
  };
  for (const auto& [text, expected] : rows) EXPECT_EQ(ParseKeyText(text), expected) << text;
}

}  // namespace
}  // namespace tarsin::desfire
