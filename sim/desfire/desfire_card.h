// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <span>
#include <string>

#include "card/bytes.h"

namespace tarsin::sim {

// Storage sizes of the EV1 family; GetVersion reports them as 0x16, 0x18 and 0x1A.
enum class DesfireCapacity : uint8_t { k2K, k4K, k8K };

namespace desfire {
struct CardMemory;
struct Session;
struct Reply;
class CardContext;
}  // namespace desfire

// A MIFARE DESFire EV1 card as a PC/SC reader presents it: native commands wrapped in class-90
// APDUs ("90 INS 00 00 Lc data 00", answered "data 91 xx"), ISO SELECT of the card level, legacy
// DES/2K3DES authentication and secure messaging, five file kinds and transactions.
class DesfireCard {
 public:
  // Fills the buffer with random bytes (the card's RndB). Tests inject a fixed one.
  using RandomSource = std::function<void(std::span<uint8_t>)>;

  // A blank card as delivered: card master key 00x16 (DES), settings 0x0F, no applications.
  static DesfireCard Blank(DesfireCapacity capacity, const Bytes& uid = kDefaultUid);
  // Throws std::invalid_argument when the document does not describe a DESFire card. Type and
  // UID alone give a blank card.
  static DesfireCard Load(const nlohmann::json& document);

  DesfireCard(DesfireCard&&) noexcept;
  DesfireCard& operator=(DesfireCard&&) noexcept;
  DesfireCard(const DesfireCard&);
  DesfireCard& operator=(const DesfireCard&);
  ~DesfireCard();

  // One APDU in, the card's answer (data and status word) out. Never throws.
  Bytes Transmit(const Bytes& apdu);
  // Field reset: authentication and selection lost, chained frames and pending changes dropped.
  void Reset();

  // The PC/SC part-3 ATR of an ISO 14443-4 card, built from the ATS's historical bytes (3B 81
  // 80 01 80 80 for the EV1's), the form common contactless readers report.
  Bytes Atr() const;
  // TL 06, T0 75 (FSCI 5: 64-byte frames), TA 77, TB 81, TC 02, historical byte 80, unless
  // SetConfiguration changed it.
  Bytes Ats() const;
  // The UID, or a random ID for each activation once SetConfiguration enabled it.
  Bytes Uid() const;
  // "mifare-desfire-ev1-2k", "-4k" or "-8k", as the readers file names it.
  std::string Type() const;
  nlohmann::json Save() const;
  // Takes the memory and the session (authentication, selection, pending changes) saved by
  // another process: one card has one state, whoever talks to it. False when `saved` is
  // another card.
  bool Refresh(const nlohmann::json& saved);

  void SetRandomSource(RandomSource random);

  static const Bytes kDefaultUid;
  static const Bytes kDefaultAts;

 private:
  DesfireCard();

  Bytes Native(uint8_t instruction, const Bytes& data);
  desfire::Reply Start(desfire::CardContext& context, uint8_t instruction, const Bytes& data);
  // The additional-frame command: next authentication pass, answer frame or command frame.
  desfire::Reply Continue(desfire::CardContext& context, const Bytes& data);

  std::unique_ptr<desfire::CardMemory> memory_;
  std::unique_ptr<desfire::Session> session_;
  RandomSource random_;
};

}  // namespace tarsin::sim
