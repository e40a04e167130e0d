// SPDX-License-Identifier: Apache-2.0
// Replays a fuzz target's seed corpus through its entry point, so that every compiler and CI job
// runs the target, not only libFuzzer. A count after the folder adds that many inputs made from the
// seeds by seeded random edits (bytes replaced, inserted or cut), the same at every run.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::cerr << "usage: " << argv[0] << " CORPUS_FOLDER [EDITED_INPUTS]\n";
    return 2;
  }
  std::vector<std::vector<uint8_t>> seeds;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
    if (!entry.is_regular_file()) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    seeds.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(seeds.back().data(), seeds.back().size());
  }
  std::cout << seeds.size() << " inputs replayed\n";
  // An empty corpus would make the test pass without running anything.
  if (seeds.empty()) return 1;
  std::mt19937 random(20261207);
  for (long edited = argc == 3 ? std::atol(argv[2]) : 0; edited > 0; --edited) {
    std::vector<uint8_t> input = seeds[random() % seeds.size()];
    for (unsigned edits = 1 + random() % 8; edits > 0; --edits) {
      const auto at = input.begin() + static_cast<long>(random() % (input.size() + 1));
      const auto byte = static_cast<uint8_t>(random() % 4 ? random() % 16 : random());
      if (random() % 3 == 0)
        input.insert(at, byte);
      else if (at != input.end() && random() % 2)
        *at = byte;
      else if (at != input.end())
        input.erase(at);
    }
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  return 0;
}
