// SPDX-License-Identifier: Apache-2.0
#include "reader/virtual_reader.h"

#include "reader/storage_commands.h"

namespace tarsin::sim {

void VirtualReader::Insert(std::unique_ptr<Card> card, bool power_up) {
  card_ = std::move(card);
  if (card_ && power_up) card_->Reset();
}

std::unique_ptr<Card> VirtualReader::Remove() {
  return std::move(card_);
}

Bytes VirtualReader::Transmit(const Bytes& apdu) {
  if (!card_) return {0x64, 0x01};
  if (apdu.size() < 4) return {0x67, 0x00};
  if (apdu[0] == 0xFF) return StorageCommand(apdu, *card_, key_slots_, options_);
  return card_->Transmit(apdu);
}

}  // namespace tarsin::sim
