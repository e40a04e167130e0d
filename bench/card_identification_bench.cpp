// SPDX-License-Identifier: Apache-2.0
// What the identification of one presented card costs as the card-type table grows with
// recorded unknown ATRs: a known card matches near the top, a recorded one walks the table.
#include <benchmark/benchmark.h>
#include <fmt/format.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "pcsc/card_identification.h"
#include "registry/mregistry.h"
#include "registry/reg_file_io.h"

namespace {

constexpr const char* k1KAtr = "3B 8F 80 01 80 4F 0C A0 00 00 03 06 03 00 01 00 00 00 00 6A";

// A fresh registry folder with the example table and `records` unknown ATRs recorded.
class TableFolder {
 public:
  explicit TableFolder(int records) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarsin-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
    folder_ = pattern;
    ::setenv("TARSIN_RF_REGISTRY_DIR", folder_.c_str(), 1);
    std::ifstream in(std::filesystem::path(__FILE__).parent_path() / "../examples/card-types.reg");
    std::stringstream content;
    content << in.rdbuf();
    tarsin::registry::ImportRegFile(tarsin::registry::ParseRegFile(content.str()));
    for (int record = 0; record < records; ++record) {
      tarsin::registry::AddRegistryText(tarsin::registry::HKEY_LOCAL_MACHINE, tarsin::kCardTypesKey,
                                        "Unknown (bench)", fmt::format("3B 00 {:04X}", record));
    }
  }
  ~TableFolder() {
    ::unsetenv("TARSIN_RF_REGISTRY_DIR");
    std::filesystem::remove_all(folder_);
  }

 private:
  std::filesystem::path folder_;
};

void Identify(benchmark::State& state, const std::string& atr) {
  const int records = static_cast<int>(state.range(0));
  TableFolder table(records);
  tarsin::EncoderState encoder;
  encoder.log.path = "/dev/null";
  for (auto _ : state) tarsin::LetATRString(encoder, atr);
  state.counters["records"] = records;
}

void KnownCard(benchmark::State& state) {
  Identify(state, k1KAtr);
}
void RecordedUnknownCard(benchmark::State& state) {
  Identify(state, "3B 00 0000");
}

BENCHMARK(KnownCard)->Arg(0)->Arg(400)->Unit(benchmark::kMicrosecond);
BENCHMARK(RecordedUnknownCard)->Arg(10)->Arg(100)->Arg(400)->Unit(benchmark::kMicrosecond);

}  // namespace
