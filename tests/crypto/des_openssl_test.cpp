// SPDX-License-Identifier: Apache-2.0
// DES against OpenSSL's: random keys, vectors and data, and the chained modes' formulas.
#include <gtest/gtest.h>

// The low-level DES API is deprecated in OpenSSL 3 but is the simplest independent reference.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "crypto/convert_data.h"
#include "crypto/des.h"

namespace tarsin {
namespace {

using Bytes = std::vector<uint8_t>;

const auto Hex = [](const Bytes& bytes) { return conversion::ToSpacedHex(bytes); };

Bytes Xor(Bytes a, const Bytes& b) {
  for (std::size_t i = 0; i < a.size(); ++i) a[i] ^= b[i];
  return a;
}

// Random keys loaded into both our cipher and OpenSSL's (single DES: one schedule used thrice,
// which OpenSSL's EDE turns into plain DES).
struct Loaded {
  Loaded(std::mt19937& random, bool triple, bool zeroVector)
      : algorithm(triple ? desTripleDES : desSingleDES), vector(Next(random, 8)) {
    for (int i = 0; i < (triple ? 3 : 1); ++i) {
      Bytes key = Next(random, 8);
      des.Keys(i + 1, Hex(key));
      DES_set_key_unchecked(reinterpret_cast<DES_cblock*>(key.data()), &schedules[i]);
    }
    if (!triple) schedules[1] = schedules[2] = schedules[0];
    if (zeroVector) vector.assign(8, 0);
    des.InitVector(Hex(vector));
  }
  static Bytes Next(std::mt19937& random, std::size_t count) {
    Bytes bytes(count);
    for (auto& byte : bytes) byte = static_cast<uint8_t>(random());
    return bytes;
  }
  Bytes Cbc(const Bytes& in, const Bytes& iv, bool encipher) {
    Bytes out(in.size());
    DES_cblock chain;
    std::memcpy(chain, iv.data(), sizeof chain);
    DES_ede3_cbc_encrypt(in.data(), out.data(), static_cast<long>(in.size()), &schedules[0],
                         &schedules[1], &schedules[2], &chain,
                         encipher ? DES_ENCRYPT : DES_DECRYPT);
    return out;
  }
  Bytes Block(const Bytes& in, bool encipher) { return Cbc(in, Bytes(8, 0), encipher); }
  // Runs `step` over each 8-byte block of `in`.
  template <typename Step>
  static Bytes Blockwise(const Bytes& in, Step step) {
    Bytes out;
    for (auto from = in.begin(); from != in.end(); from += 8) {
      const Bytes block = step(Bytes(from, from + 8));
      out.insert(out.end(), block.begin(), block.end());
    }
    return out;
  }

  DES des;
  int32_t algorithm;
  Bytes vector;
  DES_key_schedule schedules[3];
};

Bytes RandomData(std::mt19937& random) {
  return Loaded::Next(random, 8 * (1 + random() % 12));
}

TEST(AgainstOpenSsl, EcbAndCbcMatchForRandomInput) {
  for (const bool triple : {false, true}) {
    SCOPED_TRACE(triple ? "triple" : "single");
    std::mt19937 random(triple ? 3 : 1);
    for (int trial = 0; trial < 40; ++trial) {
      Loaded s(random, triple, false);
      const Bytes plain = RandomData(random);
      const Bytes cbc = s.Cbc(plain, s.vector, true);
      ASSERT_EQ(s.des.Encrypt(Hex(plain), s.algorithm + desChainCBC), Hex(cbc));
      ASSERT_EQ(s.des.Decrypt(Hex(cbc), s.algorithm + desChainCBC), Hex(plain));
      const Bytes ecb = Loaded::Blockwise(plain, [&](const Bytes& p) { return s.Block(p, true); });
      ASSERT_EQ(s.des.Encrypt(Hex(plain), s.algorithm + desChainNone), Hex(ecb));
      ASSERT_EQ(s.des.Decrypt(Hex(ecb), s.algorithm + desChainNone), Hex(plain));
    }
  }
}

// Per chained mode, enciphering or not: the formula of one output block from the input block, the
// chaining value Z (which it also moves on), the initial vector V and the reference cipher.
const std::tuple<const char*, bool, int32_t, Bytes (*)(Loaded&, const Bytes&, Bytes&)>
    kChainedModes[] = {
        {"DecryptSend", false, desChainSend,
         [](Loaded& r, const Bytes& x, Bytes& z) {
           return z = Xor(r.Block(Xor(x, z), false), r.vector);
         }},
        {"EncryptSend", true, desChainSend,
         [](Loaded& r, const Bytes& y, Bytes& z) {
           return Xor(r.Block(Xor(y, r.vector), true), std::exchange(z, y));
         }},
        {"EncryptBlockwise", true, desChainCBCBlockwise,
         [](Loaded& r, const Bytes& p, Bytes& z) {
           return z = r.Block(Xor(Xor(p, z), r.vector), true);
         }},
        {"DecryptBlockwise", false, desChainCBCBlockwise,
         [](Loaded& r, const Bytes& c, Bytes& z) {
           return Xor(Xor(r.Block(c, false), r.vector), std::exchange(z, c));
         }},
};

TEST(ChainedModes, FollowTheirFormulas) {
  for (const auto& [name, encipher, chaining, step] : kChainedModes)
    for (const bool triple : {false, true})
      for (const bool zeroVector : {false, true}) {
        SCOPED_TRACE(::testing::Message()
                     << name << " triple " << triple << " zero V " << zeroVector);
        std::mt19937 random(7);
        for (int trial = 0; trial < 20; ++trial) {
          Loaded s(random, triple, zeroVector);
          const Bytes input = RandomData(random);
          Bytes z(8, 0);
          const Bytes expected =
              Loaded::Blockwise(input, [&](const Bytes& block) { return step(s, block, z); });
          const int32_t flags = s.algorithm + chaining;
          ASSERT_EQ(encipher ? s.des.Encrypt(Hex(input), flags) : s.des.Decrypt(Hex(input), flags),
                    Hex(expected));
        }
      }
}

}  // namespace
}  // namespace tarsin
