// SPDX-License-Identifier: Apache-2.0
#include "card/card_factory.h"

#include <map>
#include <mutex>
#include <stdexcept>

namespace tarsin::sim {

namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::string, CardLoader> loaders;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

void RegisterCardType(const std::string& type, CardLoader loader) {
  auto& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  registry.loaders[type] = std::move(loader);
}

std::unique_ptr<Card> LoadCard(const nlohmann::json& saved) {
  if (!saved.is_object() || !saved.contains("type") || !saved["type"].is_string()) {
    throw std::invalid_argument("card: missing type");
  }
  auto type = saved["type"].get<std::string>();
  CardLoader loader;
  {
    auto& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    auto found = registry.loaders.find(type);
    if (found == registry.loaders.end()) throw std::invalid_argument("card: unknown type " + type);
    loader = found->second;
  }
  try {
    return loader(saved);
  } catch (const nlohmann::json::exception& error) {
    throw std::invalid_argument("card " + type + ": " + error.what());
  }
}

}  // namespace tarsin::sim
