// SPDX-License-Identifier: Apache-2.0
// Any APDU sequence to each card type in the virtual reader. Checked: every answer ends with a
// status word, and the card saved at the end loads back to the same state.
//
// Input: byte 0 the card type, then APDUs, each a length byte and its bytes; the length 0xFF
// powers the field off and on instead.
#include <cstdint>
#include <cstdlib>

#include "card/card_factory.h"
#include "reader/virtual_reader.h"

namespace {

using tarsin::sim::Bytes;

const nlohmann::json kBlankCards[] = {
    {{"type", "mifare-classic-1k"}, {"uid", "A1B2C3D4"}},
    {{"type", "mifare-classic-4k"}, {"uid", "A1B2C3D4"}},
    {{"type", "mifare-ultralight"}, {"uid", "04A1B2C3D4E580"}},
    {{"type", "mifare-desfire-ev1-4k"}, {"uid", "045A318A2C3B80"}},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  tarsin::sim::VirtualReader reader;
  reader.Insert(tarsin::sim::LoadCard(kBlankCards[data[0] % std::size(kBlankCards)]));
  for (size_t at = 1; at < size;) {
    const uint8_t length = data[at++];
    if (length == 0xFF) {
      reader.Insert(reader.Remove());
      continue;
    }
    const size_t count = std::min<size_t>(length, size - at);
    const Bytes answer = reader.Transmit(Bytes(data + at, data + at + count));
    at += count;
    if (answer.size() < 2) std::abort();
  }
  const nlohmann::json saved = reader.card()->Save();
  if (tarsin::sim::LoadCard(saved)->Save() != saved) std::abort();
  return 0;
}
