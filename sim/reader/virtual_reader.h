// SPDX-License-Identifier: Apache-2.0
// A PC/SC part-3 contactless reader: key slots, the storage-card commands of class FF, and the
// card in its field. It knows nothing of PC/SC handles or files; the provider and the pcscd
// driver wrap it.
#pragma once

#include <array>
#include <memory>
#include <optional>

#include "card/card.h"

namespace tarsin::sim {

struct ReaderOptions {
  // Readers differ on GENERAL AUTHENTICATE to a card without keys (Ultralight): most pass it
  // to the card, which does not answer (63 00); some report success without asking the card.
  bool authenticate_keyless_cards = false;
};

class VirtualReader {
 public:
  explicit VirtualReader(ReaderOptions options = {}) : options_(options) {}

  // Puts a card in the field, powering it up (its volatile state dropped), or takes it out.
  // Without `power_up` the card comes in as it is: one already in the field elsewhere.
  void Insert(std::unique_ptr<Card> card, bool power_up = true);
  std::unique_ptr<Card> Remove();
  Card* card() { return card_.get(); }
  const Card* card() const { return card_.get(); }
  void set_options(ReaderOptions options) { options_ = options; }

  // One command to the card in the field; the answer ends with SW1 SW2. With no card the
  // reader answers 64 01 (no card response), which PC/SC layers turn into their own error.
  Bytes Transmit(const Bytes& apdu);

 private:
  std::array<std::optional<MifareKey>, 2> key_slots_;
  std::unique_ptr<Card> card_;
  ReaderOptions options_;
};

}  // namespace tarsin::sim
