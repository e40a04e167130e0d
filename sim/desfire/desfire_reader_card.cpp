// SPDX-License-Identifier: Apache-2.0
#include "desfire/desfire_reader_card.h"

#include "card/card_factory.h"
#include "desfire/card_memory.h"

namespace tarsin::sim {

std::unique_ptr<Card> DesfireReaderCard::Load(const nlohmann::json& saved) {
  return std::make_unique<DesfireReaderCard>(DesfireCard::Load(saved));
}

void DesfireReaderCard::RegisterTypes() {
  for (auto capacity : {DesfireCapacity::k2K, DesfireCapacity::k4K, DesfireCapacity::k8K}) {
    RegisterCardType(desfire::FactsOf(capacity).type, Load);
  }
}

std::optional<Bytes> DesfireReaderCard::Ats() const {
  return card_.Ats();
}

}  // namespace tarsin::sim
