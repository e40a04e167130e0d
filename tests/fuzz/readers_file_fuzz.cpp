// Any bytes as the virtual readers' file, its cards loaded and spoken to. Checked: nothing but a
// standard exception escapes, and every reader answers with a status word or an outcome.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <fstream>

#include "store/reader_bank.h"
#include "support/temporary_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tarsin::sim;
  static const tarsin::testing::ScratchFolder scratch;
  const auto path = scratch.path() / "readers.json";
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  ReaderBank bank{ReadersFile(path)};
  try {
    for (const ReaderView& view : bank.Readers()) {
      for (const Bytes& apdu : {Bytes{0xFF, 0xCA, 0x00, 0x00, 0x00}, Bytes{0x90, 0x60, 0, 0, 0},
                                Bytes{0xFF, 0xB0, 0x00, 0x04, 0x10}}) {
        const TransmitResult result = bank.Transmit(view.name, apdu);
        if (result.outcome == Outcome::kOk && result.answer.size() < 2) std::abort();
      }
      bank.ResetCard(view.name);
    }
  } catch (const std::exception&) {
  }
  return 0;
}
