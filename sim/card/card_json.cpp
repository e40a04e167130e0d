// SPDX-License-Identifier: Apache-2.0
#include "card/card_json.h"

namespace tarsin::sim {

Bytes HexField(const nlohmann::json& saved, const std::string& name) {
  auto field = saved.find(name);
  if (field == saved.end() || !field->is_string()) {
    throw std::invalid_argument(name + ": missing hex text");
  }
  auto bytes = FromHex(field->get<std::string>());
  if (!bytes) throw std::invalid_argument(name + ": not hex");
  return *bytes;
}

}  // namespace tarsin::sim
