// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>

#include "card/card.h"
#include "desfire/desfire_card.h"

namespace tarsin::sim {

// The DESFire model in the virtual reader's field. It has no storage-card operations: the reader
// answers GET DATA itself and passes every other APDU to the card unchanged.
class DesfireReaderCard final : public Card {
 public:
  explicit DesfireReaderCard(DesfireCard card) : card_(std::move(card)) {}

  // Throws std::invalid_argument for a state that is not a DESFire card.
  static std::unique_ptr<Card> Load(const nlohmann::json& saved);
  // Makes the 2K, 4K and 8K types known to the card factory.
  static void RegisterTypes();

  std::string Type() const override { return card_.Type(); }
  Bytes Uid() const override { return card_.Uid(); }
  std::optional<Bytes> Ats() const override;
  Bytes Atr() const override { return card_.Atr(); }
  void Reset() override { card_.Reset(); }
  Bytes Transmit(const Bytes& apdu) override { return card_.Transmit(apdu); }
  nlohmann::json Save() const override { return card_.Save(); }
  bool Refresh(const nlohmann::json& saved) override { return card_.Refresh(saved); }

  DesfireCard& Model() { return card_; }

 private:
  DesfireCard card_;
};

}  // namespace tarsin::sim
