// SPDX-License-Identifier: Apache-2.0
// Any APDU sequence to each card type in the virtual reader, DESFire also inside an application
// in a legacy and in an AES session. Checked: every answer ends with a status word and fits the
// card's longest, and the card saved at the end loads back the same. Input: byte 0 the card, then
// APDUs, each a length byte and its bytes; the length 0xFF powers the field off and on instead.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "card/card_factory.h"
#include "reader/virtual_reader.h"

namespace {

using tarsin::sim::Bytes;

const nlohmann::json kBlankDesfire{{"type", "mifare-desfire-ev1-4k"}, {"uid", "045A318A2C3B80"}};

// Application 030201 (two DES keys) selected, authenticated with key 0 under `ev1` (or legacy).
nlohmann::json DesfireInSession(const nlohmann::json& ev1) {
  tarsin::sim::VirtualReader reader;
  reader.Insert(tarsin::sim::LoadCard(kBlankDesfire));
  reader.Transmit({0x90, 0xCA, 0x00, 0x00, 0x05, 0x03, 0x02, 0x01, 0x0F, 0x02, 0x00});
  nlohmann::json card = reader.card()->Save();
  const std::string zeros(32, '0');
  card["session"] = {{"selected", 0x030201}, {"key", 0}, {"sessionKey", zeros}};
  if (!ev1.is_null()) card["session"]["ev1"] = ev1;
  return card;
}

// Each card and its longest answer (a reader's block or a DESFire frame, and the status word),
// built at the first input: the card models are ready only once static initialisation is over.
const std::vector<std::pair<nlohmann::json, size_t>>& Cards() {
  static const std::vector<std::pair<nlohmann::json, size_t>> cards{
      {{{"type", "mifare-classic-1k"}, {"uid", "A1B2C3D4"}}, 18},
      {{{"type", "mifare-classic-4k"}, {"uid", "04112233445566"}}, 18},
      {{{"type", "mifare-ultralight"}, {"uid", "04A1B2C3D4E580"}}, 18},
      {kBlankDesfire, 61},
      {DesfireInSession(nullptr), 61},
      {DesfireInSession(
           {{"cipher", 3}, {"key", std::string(32, '0')}, {"iv", std::string(32, '0')}}),
       61},
  };
  return cards;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const auto& [card, longest] = Cards()[data[0] % Cards().size()];
  tarsin::sim::VirtualReader reader;
  reader.Insert(tarsin::sim::LoadCard(card), false);  // in the session it was saved in
  for (size_t at = 1; at < size;) {
    const uint8_t length = data[at++];
    if (length == 0xFF) {
      reader.Insert(reader.Remove());
      continue;
    }
    const size_t count = std::min<size_t>(length, size - at);
    const Bytes answer = reader.Transmit(Bytes(data + at, data + at + count));
    at += count;
    if (answer.size() < 2 || answer.size() > longest) std::abort();
  }
  const nlohmann::json saved = reader.card()->Save();
  if (tarsin::sim::LoadCard(saved)->Save() != saved) std::abort();
  return 0;
}
