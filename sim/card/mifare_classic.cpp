// SPDX-License-Identifier: Apache-2.0
#include "card/mifare_classic.h"

#include <algorithm>
#include <stdexcept>

#include "card/atr.h"
#include "card/card_factory.h"
#include "card/card_json.h"

namespace tarsin::sim {

namespace {

constexpr char kType1K[] = "mifare-classic-1k";
constexpr char kType4K[] = "mifare-classic-4k";
constexpr unsigned kSmallSectorBlocks = 128;  // 32 sectors of 4 blocks, then 16-block sectors

unsigned BlockCountFor(MifareClassic::Size size) {
  return size == MifareClassic::Size::k1K ? 64 : 256;
}

MifareClassic::Block ManufacturerBlock(MifareClassic::Size size, const Bytes& uid) {
  bool large = size == MifareClassic::Size::k4K;
  std::uint8_t sak = large ? 0x18 : 0x08;
  MifareClassic::Block block{};
  auto* out = std::copy(uid.begin(), uid.end(), block.begin());
  if (uid.size() == 4) {
    std::uint8_t bcc = uid[0] ^ uid[1] ^ uid[2] ^ uid[3];
    *out++ = bcc;
    *out++ = sak;
    *out++ = large ? 0x02 : 0x04;  // ATQA, least significant byte first
    *out++ = 0x00;
  } else {
    *out++ = sak;
    *out++ = large ? 0x42 : 0x44;
    *out++ = 0x00;
  }
  // Manufacturer data: fills the rest with a recognisable production stamp.
  std::uint8_t stamp = 0x62;
  while (out != block.end()) *out++ = stamp++;
  return block;
}

MifareClassic::Block TransportTrailer() {
  return {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x07,
          0x80, 0x69, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
}

}  // namespace

MifareClassic::MifareClassic(Size size, const Bytes& uid) : size_(size), uid_(uid) {
  if (uid.size() != 4 && uid.size() != 7) {
    throw std::invalid_argument("a MIFARE Classic UID has 4 or 7 bytes");
  }
  blocks_.resize(BlockCountFor(size));
  blocks_[0] = ManufacturerBlock(size, uid);
  for (unsigned sector = 0; TrailerOf(sector) < blocks_.size(); ++sector) {
    blocks_[TrailerOf(sector)] = TransportTrailer();
  }
}

std::unique_ptr<MifareClassic> MifareClassic::Load(const nlohmann::json& saved) {
  std::string type = saved.at("type").get<std::string>();
  Size size;
  if (type == kType1K) {
    size = Size::k1K;
  } else if (type == kType4K) {
    size = Size::k4K;
  } else {
    throw std::invalid_argument("not a MIFARE Classic card: " + type);
  }
  auto card = std::make_unique<MifareClassic>(size, HexField(saved, "uid"));
  if (saved.contains("blocks")) {
    auto blocks = FixedSizeRows<16>(saved.at("blocks"), card->blocks_.size(), "blocks");
    std::copy(blocks.begin(), blocks.end(), card->blocks_.begin());
  }
  return card;
}

void MifareClassic::RegisterTypes() {
  for (const char* type : {kType1K, kType4K}) {
    RegisterCardType(type, [](const nlohmann::json& saved) { return Load(saved); });
  }
}

std::string MifareClassic::Type() const {
  return size_ == Size::k1K ? kType1K : kType4K;
}

Bytes MifareClassic::Atr() const {
  return StorageCardAtr(size_ == Size::k1K ? StorageCardName::kMifareClassic1K
                                           : StorageCardName::kMifareClassic4K);
}

void MifareClassic::Reset() {
  session_.reset();
  value_register_.reset();
}

nlohmann::json MifareClassic::Save() const {
  return {{"type", Type()}, {"uid", ToHex(uid_)}, {"blocks", RowsToJson(blocks_)}};
}

bool MifareClassic::Refresh(const nlohmann::json& saved) {
  auto fresh = Load(saved);
  if (fresh->size_ != size_ || fresh->uid_ != uid_) return false;
  blocks_ = std::move(fresh->blocks_);
  return true;
}

unsigned MifareClassic::SectorOf(unsigned block) {
  return block < kSmallSectorBlocks ? block / 4 : 32 + (block - kSmallSectorBlocks) / 16;
}

unsigned MifareClassic::FirstBlockOf(unsigned sector) {
  return sector < 32 ? sector * 4 : kSmallSectorBlocks + (sector - 32) * 16;
}

unsigned MifareClassic::TrailerOf(unsigned sector) {
  return FirstBlockOf(sector) + (sector < 32 ? 3 : 15);
}

unsigned MifareClassic::GroupOf(unsigned block) {
  unsigned sector = SectorOf(block);
  unsigned offset = block - FirstBlockOf(sector);
  if (block == TrailerOf(sector)) return 3;
  return sector < 32 ? offset : offset / 5;
}

std::optional<std::array<std::uint8_t, 4>> MifareClassic::AccessCodes(unsigned sector) const {
  const Block& trailer = blocks_[TrailerOf(sector)];
  return DecodeAccessBits(trailer[6], trailer[7], trailer[8]);
}

bool MifareClassic::SessionPermits(unsigned block, Rule rule) const {
  if (!session_ || session_->sector != SectorOf(block)) return false;
  auto codes = AccessCodes(session_->sector);
  if (!codes) return false;
  if (session_->key == KeyType::kB && KeyBIsData((*codes)[3])) return false;
  return RulePermits(rule, session_->key);
}

std::optional<DataBlockRights> MifareClassic::DataRights(unsigned block) const {
  auto codes = AccessCodes(SectorOf(block));
  if (!codes) return std::nullopt;
  return DataRightsFor((*codes)[GroupOf(block)]);
}

CardAnswer MifareClassic::Refuse(CardAnswer answer) {
  // After a NAK the card falls back to idle: the reader has to authenticate again.
  Reset();
  return answer;
}

CardAnswer MifareClassic::Authenticate(unsigned block, KeyType type, const MifareKey& key) {
  session_.reset();
  if (block >= blocks_.size()) return Refuse(CardAnswer::kNoSuchBlock);
  unsigned sector = SectorOf(block);
  if (!AccessCodes(sector)) return Refuse(CardAnswer::kAuthenticationFailed);
  const Block& trailer = blocks_[TrailerOf(sector)];
  const auto* stored = trailer.begin() + (type == KeyType::kA ? 0 : 10);
  if (!std::equal(key.begin(), key.end(), stored)) return Refuse(CardAnswer::kAuthenticationFailed);
  session_ = Session{sector, type};
  value_register_.reset();
  return CardAnswer::kOk;
}

CardAnswer MifareClassic::Read(unsigned block, Bytes& data) {
  if (block >= blocks_.size()) return Refuse(CardAnswer::kNoSuchBlock);
  const Block& stored = blocks_[block];
  if (GroupOf(block) != 3) {
    auto rights = DataRights(block);
    if (!rights || !SessionPermits(block, rights->read)) return Refuse(CardAnswer::kDenied);
    data.assign(stored.begin(), stored.end());
    return CardAnswer::kOk;
  }
  auto rights = TrailerRightsFor((*AccessCodes(SectorOf(block)))[3]);
  if (!SessionPermits(block, rights.access_bits_read)) return Refuse(CardAnswer::kDenied);
  data.assign(16, 0x00);  // key A always reads as zeros
  std::copy(stored.begin() + 6, stored.begin() + 10, data.begin() + 6);
  if (SessionPermits(block, rights.key_b_read)) {
    std::copy(stored.begin() + 10, stored.end(), data.begin() + 10);
  }
  return CardAnswer::kOk;
}

CardAnswer MifareClassic::Write(unsigned block, const Bytes& data) {
  if (block >= blocks_.size()) return Refuse(CardAnswer::kNoSuchBlock);
  if (data.size() != 16) return Refuse(CardAnswer::kWrongLength);
  if (block == 0) return Refuse(CardAnswer::kDenied);  // manufacturer block is read-only
  if (GroupOf(block) == 3) return WriteTrailer(block, data);
  auto rights = DataRights(block);
  if (!rights || !SessionPermits(block, rights->write)) return Refuse(CardAnswer::kDenied);
  std::copy(data.begin(), data.end(), blocks_[block].begin());
  return CardAnswer::kOk;
}

CardAnswer MifareClassic::WriteTrailer(unsigned block, const Bytes& data) {
  if (!session_ || session_->sector != SectorOf(block)) return Refuse(CardAnswer::kDenied);
  auto rights = TrailerRightsFor((*AccessCodes(SectorOf(block)))[3]);
  bool key_a = SessionPermits(block, rights.key_a_write);
  bool access_bits = SessionPermits(block, rights.access_bits_write);
  bool key_b = SessionPermits(block, rights.key_b_write);
  if (!key_a && !access_bits && !key_b) return Refuse(CardAnswer::kDenied);
  // Parts the key may not change keep their stored value. The general-purpose byte 9 goes with
  // the access bits. Inconsistent access bits are stored as given: the sector is then lost.
  Block& trailer = blocks_[block];
  if (key_a) std::copy(data.begin(), data.begin() + 6, trailer.begin());
  if (access_bits) std::copy(data.begin() + 6, data.begin() + 10, trailer.begin() + 6);
  if (key_b) std::copy(data.begin() + 10, data.end(), trailer.begin() + 10);
  return CardAnswer::kOk;
}

CardAnswer MifareClassic::ReadValue(unsigned block, Rule DataBlockRights::*right,
                                    std::int32_t& value) {
  if (block >= blocks_.size()) return Refuse(CardAnswer::kNoSuchBlock);
  if (GroupOf(block) == 3) return Refuse(CardAnswer::kDenied);
  auto rights = DataRights(block);
  if (!rights || !SessionPermits(block, (*rights).*right)) return Refuse(CardAnswer::kDenied);
  auto stored = ValueOf(blocks_[block]);
  if (!stored) return Refuse(CardAnswer::kDenied);
  value = *stored;
  return CardAnswer::kOk;
}

CardAnswer MifareClassic::Increment(unsigned block, std::uint32_t amount) {
  std::int32_t value = 0;
  auto answer = ReadValue(block, &DataBlockRights::increment, value);
  if (answer != CardAnswer::kOk) return answer;
  value_register_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) + amount);
  return CardAnswer::kOk;
}

CardAnswer MifareClassic::Decrement(unsigned block, std::uint32_t amount) {
  std::int32_t value = 0;
  auto answer = ReadValue(block, &DataBlockRights::decrement, value);
  if (answer != CardAnswer::kOk) return answer;
  value_register_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) - amount);
  return CardAnswer::kOk;
}

CardAnswer MifareClassic::Restore(unsigned block) {
  std::int32_t value = 0;
  auto answer = ReadValue(block, &DataBlockRights::decrement, value);
  if (answer != CardAnswer::kOk) return answer;
  value_register_ = value;
  return CardAnswer::kOk;
}

CardAnswer MifareClassic::Transfer(unsigned block) {
  if (block >= blocks_.size()) return Refuse(CardAnswer::kNoSuchBlock);
  if (!value_register_ || block == 0 || GroupOf(block) == 3) return Refuse(CardAnswer::kDenied);
  auto rights = DataRights(block);
  if (!rights || !SessionPermits(block, rights->decrement)) return Refuse(CardAnswer::kDenied);
  blocks_[block] = ValueBlock(*value_register_, static_cast<std::uint8_t>(block));
  return CardAnswer::kOk;
}

MifareClassic::Block ValueBlock(std::int32_t value, std::uint8_t address) {
  auto bits = static_cast<std::uint32_t>(value);
  MifareClassic::Block block{};
  for (int i = 0; i < 4; ++i) {
    auto byte = static_cast<std::uint8_t>(bits >> (8 * i));
    block[i] = byte;
    block[4 + i] = static_cast<std::uint8_t>(~byte);
    block[8 + i] = byte;
  }
  block[12] = address;
  block[13] = static_cast<std::uint8_t>(~address);
  block[14] = address;
  block[15] = static_cast<std::uint8_t>(~address);
  return block;
}

std::optional<std::int32_t> ValueOf(const MifareClassic::Block& block) {
  std::uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(block[i]) << (8 * i);
  auto value = static_cast<std::int32_t>(bits);
  if (ValueBlock(value, block[12]) != block) return std::nullopt;
  return value;
}

}  // namespace tarsin::sim
