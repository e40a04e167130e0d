#include "provider/management.h"

#include <string>

#include "card/card_factory.h"
#include "store/readers_file.h"

#define TARSIN_EXPORT __attribute__((visibility("default")))

namespace tarsin::sim {
namespace {

bool EditReader(const char* name, const std::function<void(nlohmann::json&)>& edit) {
  if (!name) return false;
  bool found = false;
  try {
    ReadersFile().Update([&](nlohmann::json& contents) {
      for (auto& entry : contents["readers"]) {
        if (entry.value("name", "") != name) continue;
        edit(entry);
        found = true;
      }
      return found;
    });
  } catch (const std::exception&) {
    return false;
  }
  return found;
}

}  // namespace
}  // namespace tarsin::sim

using tarsin::sim::EditReader;

extern "C" {

TARSIN_EXPORT int tarsin_vpcsc_init_readers() {
  try {
    tarsin::sim::ReadersFile().Write(tarsin::sim::ReadersFile::DefaultContents());
    return 1;
  } catch (const std::exception&) {
    return 0;
  }
}

TARSIN_EXPORT int tarsin_vpcsc_insert_card(const char* reader, const char* type, const char* uid) {
  if (!type || !uid) return 0;
  const nlohmann::json card = {{"type", type}, {"uid", uid}};
  try {
    tarsin::sim::LoadCard(card);  // an unknown type or a malformed UID goes no further
  } catch (const std::exception&) {
    return 0;
  }
  return EditReader(reader, [&](nlohmann::json& entry) {
    entry["card"] = card;
    entry["cardPresent"] = true;
  });
}

TARSIN_EXPORT int tarsin_vpcsc_reset_card(const char* reader) {
  return EditReader(reader, [](nlohmann::json& entry) {
    if (entry["card"].is_object()) {
      entry["card"] = {{"type", entry["card"].value("type", "")},
                       {"uid", entry["card"].value("uid", "")}};
    }
    entry["cardPresent"] = true;
    entry.erase("faults");
  });
}

TARSIN_EXPORT const char* tarsin_vpcsc_readers_path() {
  static thread_local std::string path;
  path = tarsin::sim::ReadersFile::DefaultPath().string();
  return path.c_str();
}
}
