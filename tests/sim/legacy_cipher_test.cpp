// SPDX-License-Identifier: Apache-2.0
// The DESFire card's cipher as built for each platform (OpenSSL on Linux, CNG on Windows): the
// published DES vector, 2K3DES as OpenSSL computes it, and a real card's authentication trace.
#include "desfire/legacy_cipher.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tarsin::sim::desfire {
namespace {

TEST(LegacyCipher, PublishedVectorsAndTrace) {
  const std::tuple<const char*, bool, const char*, const char*> cases[] = {
      // Key, enciphers, in, out: "Now is t" under 01 23 45 .. EF, single DES (equal halves).
      {"0123456789ABCDEF0123456789ABCDEF", true, "4E6F772069732074", "3FA40E8A984D4815"},
      {"0123456789ABCDEF23456789ABCDEF01", true, "4E6F772069732074", "B7835779EE26ACB7"},
      // A real card's RndB, then the host's RndA + RndB' (two blocks chained), default key.
      {"00000000000000000000000000000000", true, "CCF53270570A7669", "DF6AB29AAE46BA27"},
      {"00000000000000000000000000000000", false, "05EEC31F1E6A0CC31FEF8398A6621370",
       "A0A1A2A3A4A5A6A7F53270570A7669CC"},
  };
  for (const auto& [key, enciphers, in_hex, out] : cases) {
    const LegacyCipher cipher(std::span<const uint8_t, 16>(FromHex(key).value().data(), 16));
    const Bytes in = FromHex(in_hex).value();
    EXPECT_EQ(ToHex(enciphers ? cipher.Encipher(in) : cipher.Decipher(in)), out) << key;
  }
}

}  // namespace
}  // namespace tarsin::sim::desfire
