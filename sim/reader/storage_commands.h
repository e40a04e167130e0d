// SPDX-License-Identifier: Apache-2.0
// The class FF commands a PC/SC part-3 reader carries out for a contactless card.
#pragma once

#include <array>
#include <optional>

#include "card/card.h"
#include "reader/virtual_reader.h"

namespace tarsin::sim {

using KeySlots = std::array<std::optional<MifareKey>, 2>;

// `bytes` is an APDU of class FF. The answer ends with SW1 SW2.
Bytes StorageCommand(const Bytes& bytes, Card& card, KeySlots& key_slots,
                     const ReaderOptions& options);

}  // namespace tarsin::sim
