// SPDX-License-Identifier: Apache-2.0
// Shared by the benchmarks that talk to readers: a scratch home for the log and the registry,
// the timing provider in front of the real one, and the provider's totals.
#pragma once

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <stdlib.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "registry/reg_file.h"
#include "registry/reg_file_io.h"
#include "support/temporary_folder.h"
#include "tarsin/encoder.h"

namespace tarsin::bench {

// A fresh folder for the log ("Quillon/Nemora" under it) and the registry, named by
// XDG_DATA_HOME and TARSIN_RF_REGISTRY_DIR, the registry holding the example card-type table as
// an installation would; removed at exit.
class ScratchHome {
 public:
  ScratchHome() {
    ::setenv("XDG_DATA_HOME", root().c_str(), 1);
    ::setenv("TARSIN_RF_REGISTRY_DIR", root().c_str(), 1);
    std::ostringstream table;
    table << std::ifstream(TARSIN_BENCH_CARD_TYPES).rdbuf();
    registry::ImportRegFile(registry::ParseRegFile(table.str()));
  }

  const std::filesystem::path& root() const { return folder_.path(); }
  std::filesystem::path logFolder() const { return root() / "Quillon" / "Nemora"; }
  // The component writes no log when its folder is missing.
  void SetLogging(bool on) const {
    std::error_code ignored;
    if (on) {
      std::filesystem::create_directories(logFolder(), ignored);
    } else {
      std::filesystem::remove_all(root() / "Quillon", ignored);
    }
  }

 private:
  tarsin::testing::ScratchFolder folder_{"tarsin-bench"};
};

// The component loads the timing provider, which forwards to `inner` (the virtual reader's
// provider, or pcsc-lite for pcscd).
inline void UseTimingProvider(const std::string& inner) {
  ::setenv("TARSIN_BENCH_INNER_PCSC_LIBRARY", inner.c_str(), 1);
  ::setenv("TARSIN_RF_PCSC_LIBRARY", TARSIN_BENCH_PROVIDER, 1);
}

// Time spent inside the provider so far (all threads), from the timing provider.
struct ProviderTotals {
  uint64_t cpuNs = 0, wallNs = 0, calls = 0;

  static ProviderTotals Now() {
    ProviderTotals totals;
    void* provider = ::dlopen(TARSIN_BENCH_PROVIDER, RTLD_NOW | RTLD_NOLOAD);
    using Entry = void (*)(uint64_t*, uint64_t*, uint64_t*);
    if (auto entry =
            provider ? reinterpret_cast<Entry>(::dlsym(provider, "tarsin_bench_provider_totals"))
                     : nullptr) {
      entry(&totals.cpuNs, &totals.wallNs, &totals.calls);
    }
    return totals;
  }
};

inline uint64_t ThreadCpuNs() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

// EscapeExt frames for as long as the benchmark runs: the component's CPU per frame (the thread's
// CPU without the provider's share) and the provider's totals over the loop.
struct Frames {
  double count = 0;
  double componentUs = 0;
  ProviderTotals before, after;
};
inline Frames RunFrames(benchmark::State& state, tarsin::Encoder& encoder) {
  std::string response, retCode;
  Frames frames{.before = ProviderTotals::Now()};
  const uint64_t cpuBefore = ThreadCpuNs();
  for (auto _ : state) {
    if (encoder.EscapeExt("FF CA 00 00 00", response, retCode) != tarsin::scesuccess) {
      state.SkipWithError("EscapeExt failed");
      break;
    }
  }
  frames.count = static_cast<double>(state.iterations());
  frames.after = ProviderTotals::Now();
  const auto providerNs = static_cast<double>(frames.after.cpuNs - frames.before.cpuNs);
  frames.componentUs =
      (static_cast<double>(ThreadCpuNs() - cpuBefore) - providerNs) / frames.count / 1000.0;
  return frames;
}

// A readers file of `count` readers, "Tarsin Virtual Reader <i>", each with a blank card of its
// own, named by TARSIN_RF_VIRTUAL_READERS.
inline std::filesystem::path WriteReadersFile(const std::filesystem::path& folder, int count,
                                              const std::string& cardType = "mifare-classic-1k") {
  std::filesystem::path path = folder / "readers.json";
  std::ofstream out(path);
  out << "{\"readers\": [";
  for (int i = 0; i < count; ++i) {
    char uid[16];
    std::snprintf(uid, sizeof uid, "04A1B2%02X", i);
    out << (i ? ", " : "") << "{\"name\": \"Tarsin Virtual Reader " << i
        << "\", \"vendor\": \"Tarsin\", \"ifdType\": \"Bench reader\", \"ifdVersion\": \"1.0.0\","
        << " \"serial\": \"B-" << i << "\", \"card\": {\"type\": \"" << cardType
        << "\", \"uid\": \"" << uid << "\"}}";
  }
  out << "]}\n";
  ::setenv("TARSIN_RF_VIRTUAL_READERS", path.c_str(), 1);
  return path;
}

}  // namespace tarsin::bench
