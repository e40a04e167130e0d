// SPDX-License-Identifier: Apache-2.0
// `tarsin-rf show`: what is on the card in the field. Each card family is read into one JSON
// document (what `--json` prints) and printed from it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tarsin/encoder.h"

namespace tarsin::cli {

// Why the last card operation failed, with a status word's text. `lost` when the card gave no
// answer (it left the field, or the reader failed): nothing after it can be listed, and the
// listing carries "incomplete" with the reason.
struct CardFailure {
  std::string text;
  bool lost = false;
};
CardFailure LastFailure(Encoder& encoder);

// Every sector (or page) of a MIFARE card, each opened with the first of `keys` that works.
nlohmann::json ShowMifare(Encoder& encoder, int32_t cardType, const std::vector<std::string>& keys);
void PrintMifare(const nlohmann::json& card);

// A DESFire card: its version, then its applications with their key settings and files, each
// entered with the key given for it (`appKeys`: application id to key), else `cardKey` for the
// card level and the zero key for applications.
nlohmann::json ShowDesfire(Encoder& encoder, const std::string& cardKey,
                           const std::map<std::string, std::string>& appKeys);
void PrintDesfire(const nlohmann::json& card);

}  // namespace tarsin::cli
