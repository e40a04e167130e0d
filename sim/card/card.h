// SPDX-License-Identifier: Apache-2.0
// What a virtual reader needs of the card in its field.
//
// The reader (sim/reader/virtual_reader.h) owns one Card at a time and routes every APDU:
//   - GET DATA (FF CA) is answered by the reader itself from Uid() and Ats();
//   - the other storage-card commands of class FF (load key, general authenticate, read and
//     update binary, value operations) are carried out through Storage(), which a memory card
//     (MIFARE Classic, Ultralight) returns; a card without one gets "function not supported";
//   - every other APDU goes to Transmit() unchanged, and its answer (data + SW1 SW2) goes
//     back unchanged. A processor card (DESFire) implements this and returns nullptr from
//     Storage().
//
// Persistent state (memory, keys, files) is what Save() returns; it must hold "type" so that
// the card factory (card_factory.h) can rebuild the card. Volatile state (authentication,
// sessions) lives only in the object and is dropped by Reset(), which the reader calls on
// every power-up of the field (connect after a reset, reconnect with reset, card insertion).
//
// Adapting a card class that has Transmit/Reset/Atr/Uid/Save/Load of its own takes a
// subclass forwarding those calls, a function registering its types with RegisterCardType()
// and a call to it in sim/card_types.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "card/bytes.h"

namespace tarsin::sim {

class StorageCard;

class Card {
 public:
  virtual ~Card() = default;

  // The type name stored in the readers file, e.g. "mifare-classic-1k".
  virtual std::string Type() const = 0;
  virtual Bytes Uid() const = 0;
  // The historical bytes of an ISO 14443-4 card's ATS (GET DATA with P1 01); nullopt for
  // memory cards, which have no ATS.
  virtual std::optional<Bytes> Ats() const { return std::nullopt; }
  // The ATR the reader reports for this card.
  virtual Bytes Atr() const = 0;
  // Field reset: volatile state is lost, memory stays.
  virtual void Reset() = 0;
  // An APDU that is not a storage-card command; the answer ends with SW1 SW2.
  virtual Bytes Transmit(const Bytes& apdu);
  // The memory-card operations, or nullptr for a card that has none.
  virtual StorageCard* Storage() { return nullptr; }
  virtual nlohmann::json Save() const = 0;
  // Takes persistent state saved by another process without losing volatile state. A card
  // that cannot returns false and is rebuilt from the saved state instead.
  virtual bool Refresh(const nlohmann::json& saved) {
    (void)saved;
    return false;
  }
};

// The card's answer to one memory operation, as the reader reports it.
enum class CardAnswer {
  kOk,
  kNoSuchBlock,           // the address is beyond the card's memory
  kAuthenticationFailed,  // wrong key, or a sector that cannot be authenticated
  kDenied,                // not authenticated, or the access conditions refuse it
  kNotSupported,          // the card has no such operation
  kWrongLength,           // the data does not fit the operation
};

enum class KeyType { kA, kB };
using MifareKey = std::array<std::uint8_t, 6>;

// Memory-card commands as a reader drives them. A refused command makes the card drop its
// authentication, as the real card does after a NAK.
class StorageCard {
 public:
  virtual ~StorageCard() = default;
  virtual CardAnswer Authenticate(unsigned block, KeyType type, const MifareKey& key) = 0;
  // 16 bytes from the block (Classic) or from four pages starting at it (Ultralight).
  virtual CardAnswer Read(unsigned block, Bytes& data) = 0;
  // 16 bytes; the Ultralight writes the first 4 (compatibility write).
  virtual CardAnswer Write(unsigned block, const Bytes& data) = 0;
  // Value-block operations; Transfer stores the card's internal value register.
  virtual CardAnswer Increment(unsigned block, std::uint32_t amount) {
    (void)block, (void)amount;
    return CardAnswer::kNotSupported;
  }
  virtual CardAnswer Decrement(unsigned block, std::uint32_t amount) {
    (void)block, (void)amount;
    return CardAnswer::kNotSupported;
  }
  virtual CardAnswer Restore(unsigned block) {
    (void)block;
    return CardAnswer::kNotSupported;
  }
  virtual CardAnswer Transfer(unsigned block) {
    (void)block;
    return CardAnswer::kNotSupported;
  }
};

}  // namespace tarsin::sim
