// Our cipher against OpenSSL's DES for random keys, vectors and data, and the four chained modes
// against their formulas built from OpenSSL's single-block cipher.
#include <gtest/gtest.h>

// The low-level DES API is deprecated in OpenSSL 3 but is the simplest independent reference.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "crypto/des.h"

namespace tarsin {
namespace {

using Bytes = std::vector<uint8_t>;
using Block = std::array<uint8_t, 8>;

std::string SpacedHex(const uint8_t* bytes, std::size_t count) {
  std::string out;
  char pair[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(pair, sizeof pair, i == 0 ? "%02X" : " %02X", bytes[i]);
    out += pair;
  }
  return out;
}
std::string SpacedHex(const Bytes& bytes) {
  return SpacedHex(bytes.data(), bytes.size());
}
std::string PlainHex(const Block& block) {
  std::string spaced = SpacedHex(block.data(), block.size());
  std::erase(spaced, ' ');
  return spaced;
}

Block Xor(Block a, const Block& b) {
  for (std::size_t i = 0; i < a.size(); ++i) a[i] ^= b[i];
  return a;
}

// OpenSSL's DES with one key (single) or three keys (triple, EDE).
class Reference {
 public:
  explicit Reference(const std::vector<Block>& keys) : triple_(keys.size() == 3) {
    for (std::size_t i = 0; i < keys.size(); ++i) {
      DES_cblock key;
      std::copy(keys[i].begin(), keys[i].end(), key);
      DES_set_key_unchecked(&key, &schedules_[i]);
    }
  }

  Block Ecb(const Block& in, bool encipher) {
    DES_cblock input, output;
    std::copy(in.begin(), in.end(), input);
    const int mode = encipher ? DES_ENCRYPT : DES_DECRYPT;
    if (triple_) {
      DES_ecb3_encrypt(&input, &output, &schedules_[0], &schedules_[1], &schedules_[2], mode);
    } else {
      DES_ecb_encrypt(&input, &output, &schedules_[0], mode);
    }
    Block out;
    std::copy(std::begin(output), std::end(output), out.begin());
    return out;
  }

  Bytes Cbc(const Bytes& in, const Block& vector, bool encipher) {
    Bytes out(in.size());
    DES_cblock iv;
    std::copy(vector.begin(), vector.end(), iv);
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

 private:
  bool triple_;
  DES_key_schedule schedules_[3];
};

class RandomCase {
 public:
  explicit RandomCase(uint32_t seed) : generator_(seed) {}
  Block NextBlock() {
    Block b;
    for (auto& byte : b) byte = static_cast<uint8_t>(generator_());
    return b;
  }
  Bytes NextData(std::size_t blocks) {
    Bytes data;
    for (std::size_t i = 0; i < blocks; ++i) {
      const Block b = NextBlock();
      data.insert(data.end(), b.begin(), b.end());
    }
    return data;
  }
  std::size_t NextBlockCount() { return 1 + generator_() % 12; }

 private:
  std::mt19937 generator_;
};

struct Loaded {
  DES des;
  std::vector<Block> keys;
  Block vector;
  int32_t algorithm;
};

Loaded LoadRandomKeys(RandomCase& random, bool triple, bool zeroVector) {
  Loaded s;
  s.algorithm = triple ? desTripleDES : desSingleDES;
  for (int i = 1; i <= (triple ? 3 : 1); ++i) {
    s.keys.push_back(random.NextBlock());
    s.des.Keys(i, PlainHex(s.keys.back()));
  }
  s.vector = zeroVector ? Block{} : random.NextBlock();
  s.des.InitVector(PlainHex(s.vector));
  return s;
}

class AgainstOpenSsl : public ::testing::TestWithParam<bool> {};

TEST_P(AgainstOpenSsl, EcbAndCbcMatchForRandomInput) {
  const bool triple = GetParam();
  RandomCase random(triple ? 3 : 1);
  for (int trial = 0; trial < 40; ++trial) {
    Loaded s = LoadRandomKeys(random, triple, false);
    Reference reference(s.keys);
    const Bytes plain = random.NextData(random.NextBlockCount());

    const Bytes cbc = reference.Cbc(plain, s.vector, true);
    ASSERT_EQ(s.des.Encrypt(SpacedHex(plain), s.algorithm + desChainCBC), SpacedHex(cbc));
    ASSERT_EQ(s.des.Decrypt(SpacedHex(cbc), s.algorithm + desChainCBC), SpacedHex(plain));

    // ECB is CBC of each block on its own with a zero vector.
    Bytes ecb;
    for (std::size_t i = 0; i < plain.size(); i += 8) {
      Block in;
      std::copy_n(plain.begin() + static_cast<long>(i), 8, in.begin());
      const Block out = reference.Ecb(in, true);
      ecb.insert(ecb.end(), out.begin(), out.end());
    }
    ASSERT_EQ(s.des.Encrypt(SpacedHex(plain), s.algorithm + desChainNone), SpacedHex(ecb));
    ASSERT_EQ(s.des.Decrypt(SpacedHex(ecb), s.algorithm + desChainNone), SpacedHex(plain));
  }
}

INSTANTIATE_TEST_SUITE_P(SingleAndTriple, AgainstOpenSsl, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Triple" : "Single"; });

// One chained mode: the flags and the formula of one output block, given the input block, the
// chaining value Z, the initial vector V and the reference block cipher. The formula also says
// what Z becomes.
struct ChainedMode {
  const char* name;
  bool encipher;
  int32_t chaining;
  Block (*step)(Reference&, const Block& in, Block& z, const Block& v);
};

const ChainedMode kChainedModes[] = {
    {"DecryptSend", false, desChainSend,
     [](Reference& r, const Block& x, Block& z, const Block& v) {
       return z = Xor(r.Ecb(Xor(x, z), false), v);
     }},
    {"EncryptSend", true, desChainSend,
     [](Reference& r, const Block& y, Block& z, const Block& v) {
       const Block out = Xor(r.Ecb(Xor(y, v), true), z);
       z = y;
       return out;
     }},
    {"EncryptBlockwise", true, desChainCBCBlockwise,
     [](Reference& r, const Block& p, Block& z, const Block& v) {
       return z = r.Ecb(Xor(Xor(p, z), v), true);
     }},
    {"DecryptBlockwise", false, desChainCBCBlockwise,
     [](Reference& r, const Block& c, Block& z, const Block& v) {
       const Block out = Xor(Xor(r.Ecb(c, false), v), z);
       z = c;
       return out;
     }},
};

class ChainedModeTest
    : public ::testing::TestWithParam<std::tuple<ChainedMode, bool /*triple*/, bool /*zero V*/>> {};

TEST_P(ChainedModeTest, FollowsItsFormula) {
  const auto& [mode, triple, zeroVector] = GetParam();
  RandomCase random(7);
  for (int trial = 0; trial < 20; ++trial) {
    Loaded s = LoadRandomKeys(random, triple, zeroVector);
    Reference reference(s.keys);
    const Bytes input = random.NextData(random.NextBlockCount());

    Bytes expected;
    Block z{};
    for (std::size_t i = 0; i < input.size(); i += 8) {
      Block in;
      std::copy_n(input.begin() + static_cast<long>(i), 8, in.begin());
      const Block out = mode.step(reference, in, z, s.vector);
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

// Whatever the vector, Decrypt undoes Encrypt with the same keys and flags.
TEST(ChainedModes, DecryptUndoesEncryptInEveryMode) {
  RandomCase random(11);
  for (const int32_t chaining : {desChainNone, desChainCBC, desChainSend, desChainCBCBlockwise}) {
    for (const bool triple : {false, true}) {
      Loaded s = LoadRandomKeys(random, triple, false);
      const std::string plain = SpacedHex(random.NextData(random.NextBlockCount()));
      const int32_t flags = s.algorithm + chaining;
      EXPECT_EQ(s.des.Decrypt(s.des.Encrypt(plain, flags), flags), plain)
          << "chaining " << chaining << (triple ? " triple" : " single");
    }
  }
}

}  // namespace
}  // namespace tarsin
