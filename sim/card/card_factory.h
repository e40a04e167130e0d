// SPDX-License-Identifier: Apache-2.0
// Rebuilding cards from the readers file by their "type".
#pragma once

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "card/card.h"

namespace tarsin::sim {

using CardLoader = std::function<std::unique_ptr<Card>(const nlohmann::json& saved)>;

// Adds or replaces the loader of a card type. Each card model registers its own types; the
// programs that serve cards register them all through sim/card_types.cpp.
void RegisterCardType(const std::string& type, CardLoader loader);

// The card saved in `saved`. A saved card with "uid" but no memory is a blank card of its type.
// Throws std::invalid_argument for an unknown type or a malformed state.
std::unique_ptr<Card> LoadCard(const nlohmann::json& saved);

}  // namespace tarsin::sim
