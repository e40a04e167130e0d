// SPDX-License-Identifier: Apache-2.0
// Any bytes as the virtual readers' file, its cards loaded and spoken to. Checked: nothing but a
// standard exception escapes, every reader answers with a status word or an outcome, and the
// file as written (entries replaced in its text) reads back as the entries the process kept.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <memory>

#include "store/reader_bank.h"
#include "support/temporary_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tarsin::sim;
  static const tarsin::testing::ScratchFolder scratch;
  const auto path = scratch.path() / "readers.json";
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  std::shared_ptr<const ReadersFile::Contents> kept;
  try {
    ReaderBank bank{ReadersFile(path)};
    for (const ReaderView& view : bank.Readers()) {
      for (const Bytes& apdu : {Bytes{0xFF, 0xCA, 0x00, 0x00, 0x00}, Bytes{0x90, 0x60, 0, 0, 0},
                                Bytes{0xFF, 0xB0, 0x00, 0x04, 0x10}}) {
        const TransmitResult result = bank.Transmit(view.name, apdu);
        if (result.outcome == Outcome::kOk && result.answer.size() < 2) std::abort();
      }
      bank.ResetCard(view.name);
    }
    kept = bank.file().Snapshot();
  } catch (const std::exception&) {
  }
  if (kept && !kept->readers.empty()) {
    std::ifstream in(path, std::ios::binary);
    const auto written = nlohmann::json::parse(in)["readers"];
    for (std::size_t i = 0; i < kept->readers.size(); ++i)
      if (written.at(i) != *kept->readers[i]) std::abort();
  }
  return 0;
}
