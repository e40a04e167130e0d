// SPDX-License-Identifier: Apache-2.0
#include "card/card.h"

namespace tarsin::sim {

// A memory card does not understand ISO 7816-4 commands; the reader reports the class as
// not supported, as part-3 readers do for a card that has no processor.
Bytes Card::Transmit(const Bytes&) {
  return {0x6E, 0x00};
}

}  // namespace tarsin::sim
