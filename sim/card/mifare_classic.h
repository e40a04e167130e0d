// SPDX-License-Identifier: Apache-2.0
// MIFARE Classic 1K and 4K: sectors, sector trailers, Crypto-1 authentication state (modelled
// as its outcome, not its cipher) and value blocks, enforced as the card does.
#pragma once

#include <array>
#include <memory>
#include <optional>

#include "card/card.h"
#include "card/classic_access.h"

namespace tarsin::sim {

class MifareClassic final : public Card, public StorageCard {
 public:
  enum class Size { k1K, k4K };
  using Block = std::array<std::uint8_t, 16>;

  // A card fresh from the factory: transport keys FF..FF, access bits FF 07 80 69, empty data.
  // The UID has 4 or 7 bytes.
  MifareClassic(Size size, const Bytes& uid);
  // Throws std::invalid_argument when the saved state does not describe such a card.
  static std::unique_ptr<MifareClassic> Load(const nlohmann::json& saved);
  // Makes the 1K and 4K types known to the card factory.
  static void RegisterTypes();

  std::string Type() const override;
  Bytes Uid() const override { return uid_; }
  Bytes Atr() const override;
  void Reset() override;
  StorageCard* Storage() override { return this; }
  nlohmann::json Save() const override;
  bool Refresh(const nlohmann::json& saved) override;

  CardAnswer Authenticate(unsigned block, KeyType type, const MifareKey& key) override;
  CardAnswer Read(unsigned block, Bytes& data) override;
  CardAnswer Write(unsigned block, const Bytes& data) override;
  CardAnswer Increment(unsigned block, std::uint32_t amount) override;
  CardAnswer Decrement(unsigned block, std::uint32_t amount) override;
  CardAnswer Restore(unsigned block) override;
  CardAnswer Transfer(unsigned block) override;

  unsigned BlockCount() const { return static_cast<unsigned>(blocks_.size()); }
  const Block& RawBlock(unsigned block) const { return blocks_.at(block); }

  static unsigned SectorOf(unsigned block);
  static unsigned TrailerOf(unsigned sector);

 private:
  struct Session {
    unsigned sector;
    KeyType key;
  };

  static unsigned FirstBlockOf(unsigned sector);
  // 0, 1, 2 for the data groups and 3 for the trailer.
  static unsigned GroupOf(unsigned block);
  std::optional<std::array<std::uint8_t, 4>> AccessCodes(unsigned sector) const;
  // Whether the current session may do what `rule` allows on `block`'s sector.
  bool SessionPermits(unsigned block, Rule rule) const;
  std::optional<DataBlockRights> DataRights(unsigned block) const;
  CardAnswer Refuse(CardAnswer answer);
  CardAnswer ReadValue(unsigned block, Rule DataBlockRights::*right, std::int32_t& value);
  CardAnswer WriteTrailer(unsigned block, const Bytes& data);

  Size size_;
  Bytes uid_;
  std::vector<Block> blocks_;
  std::optional<Session> session_;
  std::optional<std::int32_t> value_register_;
};

// The 16 bytes of a value block holding `value` with the address byte `address`.
MifareClassic::Block ValueBlock(std::int32_t value, std::uint8_t address);
// The value of a well-formed value block.
std::optional<std::int32_t> ValueOf(const MifareClassic::Block& block);

}  // namespace tarsin::sim
