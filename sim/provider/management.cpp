// SPDX-License-Identifier: Apache-2.0
#include "provider/management.h"

#include <string>

#include "card/card_factory.h"
#include "pcsc_platform.h"
#include "store/reader_bank.h"

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
  return reader && EditReader(reader, [&](nlohmann::json& entry) {
           entry["card"] = card;
           entry["cardPresent"] = true;
         });
}

TARSIN_EXPORT int tarsin_vpcsc_reset_card(const char* reader) {
  return reader && EditReader(reader, [](nlohmann::json& entry) {
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
