// SPDX-License-Identifier: Apache-2.0
#include "card/mifare_ultralight.h"

#include <stdexcept>

#include "card/atr.h"
#include "card/card_factory.h"
#include "card/card_json.h"

namespace tarsin::sim {

namespace {
constexpr char kType[] = "mifare-ultralight";
constexpr std::uint8_t kCascadeTag = 0x88;

// Lock byte 0: bit 0 freezes the OTP lock bit, bit 1 the lock bits of pages 4-9, bit 2 those of
// pages 10-15; bit 3 locks the OTP page, bits 4-7 pages 4-7. Lock byte 1: pages 8-15.
constexpr std::uint8_t kBlockOtpLock = 0x01;
constexpr std::uint8_t kBlockLocks4To9 = 0x02;
constexpr std::uint8_t kBlockLocks10To15 = 0x04;
}  // namespace

MifareUltralight::MifareUltralight(const Bytes& uid) : uid_(uid), pages_(kPageCount) {
  if (uid.size() != 7) throw std::invalid_argument("a MIFARE Ultralight UID has 7 bytes");
  pages_[0] = {uid[0], uid[1], uid[2],
               static_cast<std::uint8_t>(kCascadeTag ^ uid[0] ^ uid[1] ^ uid[2])};
  pages_[1] = {uid[3], uid[4], uid[5], uid[6]};
  pages_[2] = {static_cast<std::uint8_t>(uid[3] ^ uid[4] ^ uid[5] ^ uid[6]), 0x48, 0x00, 0x00};
}

std::unique_ptr<MifareUltralight> MifareUltralight::Load(const nlohmann::json& saved) {
  if (saved.at("type").get<std::string>() != kType) {
    throw std::invalid_argument("not a MIFARE Ultralight card");
  }
  auto card = std::make_unique<MifareUltralight>(HexField(saved, "uid"));
  if (saved.contains("pages"))
    card->pages_ = FixedSizeRows<4>(saved.at("pages"), kPageCount, "pages");
  return card;
}

void MifareUltralight::RegisterType() {
  RegisterCardType(kType, [](const nlohmann::json& saved) { return Load(saved); });
}

std::string MifareUltralight::Type() const {
  return kType;
}

Bytes MifareUltralight::Atr() const {
  return StorageCardAtr(StorageCardName::kMifareUltralight);
}

nlohmann::json MifareUltralight::Save() const {
  return {{"type", kType}, {"uid", ToHex(uid_)}, {"pages", RowsToJson(pages_)}};
}

bool MifareUltralight::Refresh(const nlohmann::json& saved) {
  auto fresh = Load(saved);
  if (fresh->uid_ != uid_) return false;
  pages_ = std::move(fresh->pages_);
  return true;
}

CardAnswer MifareUltralight::Read(unsigned page, Bytes& data) {
  if (page >= kPageCount) return CardAnswer::kNoSuchBlock;
  data.clear();
  for (unsigned i = 0; i < 4; ++i) {
    const Page& stored = pages_[(page + i) % kPageCount];
    data.insert(data.end(), stored.begin(), stored.end());
  }
  return CardAnswer::kOk;
}

bool MifareUltralight::PageLocked(unsigned page) const {
  std::uint8_t lock0 = pages_[2][2], lock1 = pages_[2][3];
  if (page < 3) return true;  // serial number pages are written at production
  if (page == 3) return lock0 & 0x08;
  if (page < 8) return lock0 >> page & 1;
  return lock1 >> (page - 8) & 1;
}

void MifareUltralight::WriteLockBytes(std::uint8_t lock0, std::uint8_t lock1) {
  std::uint8_t& stored0 = pages_[2][2];
  std::uint8_t& stored1 = pages_[2][3];
  // Lock bits are one-time: a written 1 stays, a written 0 changes nothing. Block-lock bits
  // freeze the lock bits they cover.
  std::uint8_t frozen0 = 0, frozen1 = 0;
  if (stored0 & kBlockOtpLock) frozen0 |= 0x08;
  if (stored0 & kBlockLocks4To9) frozen0 |= 0xF0, frozen1 |= 0x03;
  if (stored0 & kBlockLocks10To15) frozen1 |= 0xFC;
  stored0 |= static_cast<std::uint8_t>(lock0 & ~frozen0);
  stored1 |= static_cast<std::uint8_t>(lock1 & ~frozen1);
}

CardAnswer MifareUltralight::Write(unsigned page, const Bytes& data) {
  if (page >= kPageCount) return CardAnswer::kNoSuchBlock;
  if (data.size() != 16 && data.size() != 4) return CardAnswer::kWrongLength;
  if (page == 2) {
    WriteLockBytes(data[2], data[3]);
    return CardAnswer::kOk;
  }
  if (PageLocked(page)) return CardAnswer::kDenied;
  if (page == 3) {
    for (int i = 0; i < 4; ++i) pages_[3][i] |= data[i];  // OTP bits can only be set
    return CardAnswer::kOk;
  }
  std::copy(data.begin(), data.begin() + 4, pages_[page].begin());
  return CardAnswer::kOk;
}

}  // namespace tarsin::sim
