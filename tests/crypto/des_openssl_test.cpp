// Our cipher against OpenSSL's DES for random keys, vectors and data, and the four chained modes
// against their formulas built from OpenSSL's single-block cipher.
#include <gtest/gtest.h>

// The low-level DES API is deprecated in OpenSSL 3 but is the simplest independent reference.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "crypto/des.h"

namespace tarsin {
namespace {

using Bytes = std::vector<uint8_t>;

std::string SpacedHex(const Bytes& bytes) {
  std::string out;
  char pair[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(pair, sizeof pair, i == 0 ? "%02X" : " %02X", bytes[i]);
    out += pair;
  }
  return out;
}

Bytes Xor(Bytes a, const Bytes& b) {
  for (std::size_t i = 0; i < a.size(); ++i) a[i] ^= b[i];
  return a;
}

Bytes Slice(const Bytes& data, std::size_t block) {
  return Bytes(data.begin() + static_cast<long>(block * 8),
               data.begin() + static_cast<long>(block * 8 + 8));
}

// OpenSSL's DES with one key (single) or three keys (triple, EDE).
class Reference {
 public:
  explicit Reference(const std::vector<Bytes>& keys) : triple_(keys.size() == 3) {
    for (std::size_t i = 0; i < keys.size(); ++i) {
      DES_cblock key;
      std::memcpy(key, keys[i].data(), sizeof key);
      DES_set_key_unchecked(&key, &schedules_[i]);
    }
  }

  Bytes Cbc(const Bytes& in, const Bytes& vector, bool encipher) {
    Bytes out(in.size());
    DES_cblock iv;
    std::memcpy(iv, vector.data(), sizeof iv);
    const int mode = encipher ? DES_ENCRYPT : DES_DECRYPT;
    const auto length = static_cast<long>(in.size());
    if (triple_) {
      DES_ede3_cbc_encrypt(in.data(), out.data(), length, &schedules_[0], &schedules_[1],
                           &schedules_[2], &iv, mode);
    } else {
      DES_ncbc_encrypt(in.data(), out.data(), length, &schedules_[0], &iv, mode);
    }
    return out;
  }

  // One block on its own: CBC from a zero vector.
  Bytes Block(const Bytes& in, bool encipher) { return Cbc(in, Bytes(8, 0), encipher); }

 private:
  bool triple_;
  DES_key_schedule schedules_[3];
};

class Random {
 public:
  explicit Random(uint32_t seed) : generator_(seed) {}
  Bytes Next(std::size_t count) {
    Bytes bytes(count);
    for (auto& byte : bytes) byte = static_cast<uint8_t>(generator_());
    return bytes;
  }
  Bytes NextData() { return Next(8 * (1 + generator_() % 12)); }

 private:
  std::mt19937 generator_;
};

struct Loaded {
  DES des;
  std::vector<Bytes> keys;
  Bytes vector;
  int32_t algorithm;
};

Loaded LoadRandomKeys(Random& random, bool triple, bool zeroVector) {
  Loaded s;
  s.algorithm = triple ? desTripleDES : desSingleDES;
  for (int i = 1; i <= (triple ? 3 : 1); ++i) {
    s.keys.push_back(random.Next(8));
    s.des.Keys(i, SpacedHex(s.keys.back()));
  }
  s.vector = zeroVector ? Bytes(8, 0) : random.Next(8);
  s.des.InitVector(SpacedHex(s.vector));
  return s;
}

class AgainstOpenSsl : public ::testing::TestWithParam<bool> {};

TEST_P(AgainstOpenSsl, EcbAndCbcMatchForRandomInput) {
  const bool triple = GetParam();
  Random random(triple ? 3 : 1);
  for (int trial = 0; trial < 40; ++trial) {
    Loaded s = LoadRandomKeys(random, triple, false);
    Reference reference(s.keys);
    const Bytes plain = random.NextData();

    const Bytes cbc = reference.Cbc(plain, s.vector, true);
    ASSERT_EQ(s.des.Encrypt(SpacedHex(plain), s.algorithm + desChainCBC), SpacedHex(cbc));
    ASSERT_EQ(s.des.Decrypt(SpacedHex(cbc), s.algorithm + desChainCBC), SpacedHex(plain));

    Bytes ecb;
    for (std::size_t block = 0; block < plain.size() / 8; ++block) {
      const Bytes out = reference.Block(Slice(plain, block), true);
      ecb.insert(ecb.end(), out.begin(), out.end());
    }
    ASSERT_EQ(s.des.Encrypt(SpacedHex(plain), s.algorithm + desChainNone), SpacedHex(ecb));
    ASSERT_EQ(s.des.Decrypt(SpacedHex(ecb), s.algorithm + desChainNone), SpacedHex(plain));
  }
}

INSTANTIATE_TEST_SUITE_P(SingleAndTriple, AgainstOpenSsl, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Triple" : "Single"; });

// One chained mode: the formula of one output block from the input block, the chaining value Z
// (which it also moves on), the initial vector V and the reference block cipher.
struct ChainedMode {
  const char* name;
  bool encipher;
  int32_t chaining;
  Bytes (*step)(Reference&, const Bytes& in, Bytes& z, const Bytes& v);
};

const ChainedMode kChainedModes[] = {
    {"DecryptSend", false, desChainSend,
     [](Reference& r, const Bytes& x, Bytes& z, const Bytes& v) {
       return z = Xor(r.Block(Xor(x, z), false), v);
     }},
    {"EncryptSend", true, desChainSend,
     [](Reference& r, const Bytes& y, Bytes& z, const Bytes& v) {
       const Bytes out = Xor(r.Block(Xor(y, v), true), z);
       z = y;
       return out;
     }},
    {"EncryptBlockwise", true, desChainCBCBlockwise,
     [](Reference& r, const Bytes& p, Bytes& z, const Bytes& v) {
       return z = r.Block(Xor(Xor(p, z), v), true);
     }},
    {"DecryptBlockwise", false, desChainCBCBlockwise,
     [](Reference& r, const Bytes& c, Bytes& z, const Bytes& v) {
       const Bytes out = Xor(Xor(r.Block(c, false), v), z);
       z = c;
       return out;
     }},
};

class ChainedModeTest
    : public ::testing::TestWithParam<std::tuple<ChainedMode, bool /*triple*/, bool /*zero V*/>> {};

TEST_P(ChainedModeTest, FollowsItsFormula) {
  const auto& [mode, triple, zeroVector] = GetParam();
  Random random(7);
  for (int trial = 0; trial < 20; ++trial) {
    Loaded s = LoadRandomKeys(random, triple, zeroVector);
    Reference reference(s.keys);
    const Bytes input = random.NextData();

    Bytes expected;
    Bytes z(8, 0);
    for (std::size_t block = 0; block < input.size() / 8; ++block) {
      const Bytes out = mode.step(reference, Slice(input, block), z, s.vector);
      expected.insert(expected.end(), out.begin(), out.end());
    }
    const int32_t flags = s.algorithm + mode.chaining;
    const std::string text = SpacedHex(input);
    ASSERT_EQ(mode.encipher ? s.des.Encrypt(text, flags) : s.des.Decrypt(text, flags),
              SpacedHex(expected));
  }
}

INSTANTIATE_TEST_SUITE_P(AllModes, ChainedModeTest,
                         ::testing::Combine(::testing::ValuesIn(kChainedModes), ::testing::Bool(),
                                            ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) ? "Triple" : "Single") +
                                  (std::get<2>(info.param) ? "ZeroVector" : "RandomVector");
                         });

}  // namespace
}  // namespace tarsin
