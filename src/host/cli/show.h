// `tarsin-rf show`: what is on the card in the field. Each card family is read into one JSON
// document (what `--json` prints) and printed from it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tarsin/encoder.h"

namespace tarsin::cli {

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
