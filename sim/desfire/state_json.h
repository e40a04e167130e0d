// SPDX-License-Identifier: Apache-2.0
// The pieces of the card's state that the readers file keeps beside its memory: files (also as
// pending copies) and the session, so that every process sees the one state of the card.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>

#include "desfire/card_session.h"

namespace tarsin::sim::desfire {

nlohmann::json SaveFile(uint8_t number, const DesfireFile& file);
// Throws std::invalid_argument or a JSON exception for a malformed file.
DesfireFile LoadFile(const nlohmann::json& in);

// An empty object for the session of a card just powered up.
nlohmann::json SaveSession(const Session& session);
// Throws std::invalid_argument or a JSON exception for a malformed session.
Session LoadSession(const nlohmann::json& in);

}  // namespace tarsin::sim::desfire
