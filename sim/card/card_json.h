// SPDX-License-Identifier: Apache-2.0
// Reading and writing card memory in the readers file: hex text per block or page.
#pragma once

#include <array>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "card/bytes.h"

namespace tarsin::sim {

// The hex text of `saved[name]`; throws std::invalid_argument when missing or not hex.
Bytes HexField(const nlohmann::json& saved, const std::string& name);

// Exactly `count` rows of N bytes each, given as hex texts.
template <std::size_t N>
std::vector<std::array<std::uint8_t, N>> FixedSizeRows(const nlohmann::json& rows,
                                                       std::size_t count, const std::string& name) {
  if (!rows.is_array() || rows.size() != count) {
    throw std::invalid_argument(name + ": expected " + std::to_string(count) + " entries");
  }
  std::vector<std::array<std::uint8_t, N>> result(count);
  for (std::size_t i = 0; i < count; ++i) {
    auto bytes = rows[i].is_string() ? FromHex(rows[i].get<std::string>()) : std::nullopt;
    if (!bytes || bytes->size() != N) {
      throw std::invalid_argument(name + "[" + std::to_string(i) + "]: expected " +
                                  std::to_string(N) + " bytes of hex");
    }
    std::copy(bytes->begin(), bytes->end(), result[i].begin());
  }
  return result;
}

template <std::size_t N>
nlohmann::json RowsToJson(const std::vector<std::array<std::uint8_t, N>>& rows) {
  auto result = nlohmann::json::array();
  for (const auto& row : rows) result.push_back(ToHex(Bytes(row.begin(), row.end())));
  return result;
}

}  // namespace tarsin::sim
