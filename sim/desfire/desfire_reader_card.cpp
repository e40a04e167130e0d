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

// TL 06, T0 75 (FSCI 5: 64-byte frames), TA 77, TB 81, TC 02, historical byte 80.
std::optional<Bytes> DesfireReaderCard::Ats() const {
  return Bytes{0x06, 0x75, 0x77, 0x81, 0x02, 0x80};
}

}  // namespace tarsin::sim
