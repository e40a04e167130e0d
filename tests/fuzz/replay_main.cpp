// SPDX-License-Identifier: Apache-2.0
// Replays a fuzz target's seed corpus through its entry point, so that the target is built and
// run by every compiler and in every CI job, not only under libFuzzer.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " CORPUS_FOLDER\n";
    return 2;
  }
  int replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
    if (!entry.is_regular_file()) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    const std::vector<uint8_t> input{std::istreambuf_iterator<char>(file), {}};
    LLVMFuzzerTestOneInput(input.data(), input.size());
    ++replayed;
  }
  std::cout << replayed << " inputs replayed\n";
  // An empty corpus would make the test pass without running anything.
  return replayed > 0 ? 0 : 1;
}
