// SPDX-License-Identifier: Apache-2.0
// Throughput of the cipher over hex text, and of the hex reader that every card operation uses;
// the bare block cipher on bytes next to OpenSSL's on the same bytes, CBC both.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <memory>
#include <string>
#include <vector>

#include "crypto/des.h"
#include "crypto/des_block.h"

namespace {

// `count` bytes as spaced hex, the way the DESFire code hands data to the cipher.
std::string SpacedHexData(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text += ' ';
    text += "0123456789ABCDEF"[(i * 7) % 16];
    text += "0123456789ABCDEF"[(i * 13) % 16];
  }
  return text;
}

tarsin::DES LoadedCipher() {
  tarsin::DES des;
  des.Keys(1, "0123456789ABCDEF");
  des.Keys(2, "23456789ABCDEF01");
  des.Keys(3, "456789ABCDEF0123");
  des.InitVector("1234567890ABCDEF");
  return des;
}

void Cipher(benchmark::State& state, bool encipher, int32_t algorithm) {
  tarsin::DES des = LoadedCipher();
  const std::string data = SpacedHexData(1024);
  const int32_t flags = algorithm + tarsin::desChainCBC;
  for (auto _ : state) {
    benchmark::DoNotOptimize(encipher ? des.Encrypt(data, flags) : des.Decrypt(data, flags));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1024);
}

void HexToBytes(benchmark::State& state) {
  const tarsin::DES des;
  const tarsin::Variant text = SpacedHexData(4096);
  for (auto _ : state) {
    benchmark::DoNotOptimize(des.ConvertData(text, tarsin::cnvInHex + tarsin::cnvOutBytes));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 4096);
}

// Our block cipher on 1 KiB of bytes in CBC: one key, or three (encipher, decipher, encipher).
void BlockCbc(benchmark::State& state, bool triple) {
  const tarsin::RoundKeys keys[3] = {tarsin::ScheduleRoundKeys(0x0123456789ABCDEFu),
                                     tarsin::ScheduleRoundKeys(0x23456789ABCDEF01u),
                                     tarsin::ScheduleRoundKeys(0x456789ABCDEF0123u)};
  std::vector<uint64_t> blocks(128, 0x0102030405060708u);
  for (auto _ : state) {
    uint64_t chain = 0x1234567890ABCDEFu;
    for (uint64_t& block : blocks) {
      uint64_t value = tarsin::DesPass(block ^ chain, keys[0], false);
      if (triple) value = tarsin::DesPass(tarsin::DesPass(value, keys[1], true), keys[2], false);
      block = chain = value;
    }
    benchmark::DoNotOptimize(blocks.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1024);
}

// OpenSSL on the same bytes (single DES lives in its legacy provider).
void OpenSslCbc(benchmark::State& state, bool triple) {
  static OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
  static OSSL_PROVIDER* base = OSSL_PROVIDER_load(nullptr, "default");
  (void)legacy;
  (void)base;
  const unsigned char key[24] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                                 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x01,
                                 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x01, 0x23};
  const unsigned char iv[8] = {0x12, 0x34, 0x56, 0x78, 0x90, 0xAB, 0xCD, 0xEF};
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(),
                                                                          EVP_CIPHER_CTX_free);
  const EVP_CIPHER* cipher = triple ? EVP_des_ede3_cbc() : EVP_des_cbc();
  if (!EVP_EncryptInit_ex(context.get(), cipher, nullptr, key, iv)) {
    state.SkipWithError("OpenSSL has no such cipher here");
    return;
  }
  EVP_CIPHER_CTX_set_padding(context.get(), 0);
  std::vector<unsigned char> in(1024, 0x5A), out(1024 + 8);
  for (auto _ : state) {
    int length = 0;
    EVP_EncryptInit_ex(context.get(), nullptr, nullptr, nullptr, iv);
    EVP_EncryptUpdate(context.get(), out.data(), &length, in.data(), 1024);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1024);
}

BENCHMARK_CAPTURE(Cipher, Encrypt1KiBSingleDesCbc, true, tarsin::desSingleDES);
BENCHMARK_CAPTURE(Cipher, Decrypt1KiBSingleDesCbc, false, tarsin::desSingleDES);
BENCHMARK_CAPTURE(Cipher, Encrypt1KiBTripleDesCbc, true, tarsin::desTripleDES);
BENCHMARK_CAPTURE(Cipher, Decrypt1KiBTripleDesCbc, false, tarsin::desTripleDES);
BENCHMARK_CAPTURE(BlockCbc, Bytes1KiBSingleDesCbc, false);
BENCHMARK_CAPTURE(BlockCbc, Bytes1KiBTripleDesCbc, true);
BENCHMARK_CAPTURE(OpenSslCbc, Bytes1KiBSingleDesCbc, false);
BENCHMARK_CAPTURE(OpenSslCbc, Bytes1KiBTripleDesCbc, true);
BENCHMARK(HexToBytes)->Name("ConvertData4KiBHexToBytes");

}  // namespace
