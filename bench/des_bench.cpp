// Throughput of the cipher over hex text, and of the hex reader that every card operation uses.
#include <benchmark/benchmark.h>

#include <string>

#include "crypto/des.h"

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

BENCHMARK_CAPTURE(Cipher, Encrypt1KiBSingleDesCbc, true, tarsin::desSingleDES);
BENCHMARK_CAPTURE(Cipher, Decrypt1KiBSingleDesCbc, false, tarsin::desSingleDES);
BENCHMARK_CAPTURE(Cipher, Encrypt1KiBTripleDesCbc, true, tarsin::desTripleDES);
BENCHMARK_CAPTURE(Cipher, Decrypt1KiBTripleDesCbc, false, tarsin::desTripleDES);
BENCHMARK(HexToBytes)->Name("ConvertData4KiBHexToBytes");

}  // namespace
