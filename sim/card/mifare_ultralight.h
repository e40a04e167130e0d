// SPDX-License-Identifier: Apache-2.0
// MIFARE Ultralight: 16 pages of 4 bytes, 7-byte UID, lock bytes and OTP page, no keys.
#pragma once

#include <array>
#include <memory>

#include "card/card.h"

namespace tarsin::sim {

class MifareUltralight final : public Card, public StorageCard {
 public:
  using Page = std::array<std::uint8_t, 4>;
  static constexpr unsigned kPageCount = 16;

  // A blank card: UID pages with their check bytes, no lock bit, OTP and data zero.
  explicit MifareUltralight(const Bytes& uid);
  // Throws std::invalid_argument when the saved state does not describe such a card.
  static std::unique_ptr<MifareUltralight> Load(const nlohmann::json& saved);
  // Makes the type known to the card factory.
  static void RegisterType();

  std::string Type() const override;
  Bytes Uid() const override { return uid_; }
  Bytes Atr() const override;
  void Reset() override {}
  StorageCard* Storage() override { return this; }
  nlohmann::json Save() const override;
  bool Refresh(const nlohmann::json& saved) override;

  // The card has no authentication.
  CardAnswer Authenticate(unsigned, KeyType, const MifareKey&) override {
    return CardAnswer::kNotSupported;
  }
  // Four pages from `page`, wrapping from page 15 to page 0 as the READ command does.
  CardAnswer Read(unsigned page, Bytes& data) override;
  // COMPATIBILITY WRITE: 16 bytes are received, the first 4 written. A 4-byte WRITE is taken too.
  CardAnswer Write(unsigned page, const Bytes& data) override;

  const Page& RawPage(unsigned page) const { return pages_.at(page); }

 private:
  bool PageLocked(unsigned page) const;
  void WriteLockBytes(std::uint8_t lock0, std::uint8_t lock1);

  Bytes uid_;
  std::vector<Page> pages_;
};

}  // namespace tarsin::sim
