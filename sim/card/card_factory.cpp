#include "card/card_factory.h"

#include <map>
#include <mutex>
#include <stdexcept>

#include "card/mifare_classic.h"
#include "card/mifare_ultralight.h"
#include "desfire/desfire_reader_card.h"

namespace tarsin::sim {

namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::string, CardLoader> loaders{
      {"mifare-classic-1k", [](const nlohmann::json& s) { return MifareClassic::Load(s); }},
      {"mifare-classic-4k", [](const nlohmann::json& s) { return MifareClassic::Load(s); }},
      {"mifare-ultralight", [](const nlohmann::json& s) { return MifareUltralight::Load(s); }},
      {"mifare-desfire-ev1-2k", DesfireReaderCard::Load},
      {"mifare-desfire-ev1-4k", DesfireReaderCard::Load},
      {"mifare-desfire-ev1-8k", DesfireReaderCard::Load},
  };
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
