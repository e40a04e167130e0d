// SPDX-License-Identifier: Apache-2.0
// The card's memory as a JSON document, so that a card keeps what was written to it.
#include "card/card_json.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "card/bytes.h"
#include "desfire/card_memory.h"
#include "desfire/card_session.h"
#include "desfire/desfire_card.h"
#include "desfire/state_json.h"

namespace tarsin::sim {

using namespace desfire;
using nlohmann::json;

namespace {

// 16 bytes (DES, 2K3DES), 17 (AES and its version) or 24 (3K3DES; the default key).
Key KeyFromHex(const std::string& text) {
  const auto bytes = FromHex(text);
  if (!bytes || (bytes->size() != 16 && bytes->size() != 17 && bytes->size() != 24)) {
    throw std::invalid_argument("a key is 16, 17 or 24 bytes of hex");
  }
  Key key{};
  std::copy(bytes->begin(), bytes->end(), key.begin());
  return key;
}

std::string KeyToHex(const Key& key, KeyType type) {
  const size_t length = KeyLength(type) + (type == KeyType::kAes ? 1 : 0);
  return ToHex(Bytes(key.begin(), key.begin() + static_cast<long>(length)));
}

Bytes BytesFromHex(const std::string& text) {
  auto bytes = FromHex(text);
  if (!bytes) throw std::invalid_argument("not hex: " + text);
  return *bytes;
}

constexpr std::array<std::pair<KeyType, const char*>, 3> kKeyTypes{
    {{KeyType::kLegacy, "des"}, {KeyType::k3K3Des, "3k3des"}, {KeyType::kAes, "aes"}}};

const char* KeyTypeName(KeyType type) {
  for (const auto& [known, name] : kKeyTypes) {
    if (known == type) return name;
  }
  return "des";
}

KeyType KeyTypeOf(const std::string& name) {
  const auto* known =
      std::ranges::find_if(kKeyTypes, [&](const auto& entry) { return name == entry.second; });
  if (known == kKeyTypes.end()) throw std::invalid_argument("unknown key type " + name);
  return known->first;
}

// An ISO file id as 4 hex digits, most significant first as ISO 7816 writes it.
void SaveIsoFid(json& out, const std::optional<uint16_t>& isoFid) {
  if (isoFid)
    out["isoFid"] = ToHex({static_cast<uint8_t>(*isoFid >> 8), static_cast<uint8_t>(*isoFid)});
}
std::optional<uint16_t> LoadIsoFid(const json& in) {
  if (!in.contains("isoFid")) return std::nullopt;
  const Bytes fid = HexField(in, "isoFid");
  if (fid.size() != 2) throw std::invalid_argument("an ISO file id is 2 bytes");
  return static_cast<uint16_t>(fid[0] << 8 | fid[1]);
}

}  // namespace

namespace desfire {

json SaveFile(uint8_t number, const DesfireFile& file) {
  const auto access = file.access.ToBytes();
  json out{{"number", number},
           {"type", static_cast<int>(file.type)},
           {"communication", file.communication},
           {"access", ToHex(Bytes(access.begin(), access.end()))}};
  switch (file.type) {
    case FileType::kStandard:
    case FileType::kBackup:
      out["data"] = ToHex(file.data);
      break;
    case FileType::kValue:
      out["lowerLimit"] = file.lowerLimit;
      out["upperLimit"] = file.upperLimit;
      out["value"] = file.value;
      out["limitedCreditValue"] = file.limitedCreditValue;
      out["limitedCreditEnabled"] = file.limitedCreditEnabled;
      break;
    case FileType::kLinear:
    case FileType::kCyclic:
      out["recordSize"] = file.recordSize;
      out["maxRecords"] = file.maxRecords;
      out["records"] = json::array();
      for (const Bytes& record : file.records) out["records"].push_back(ToHex(record));
      break;
  }
  SaveIsoFid(out, file.isoFid);
  return out;
}

DesfireFile LoadFile(const json& in) {
  DesfireFile file;
  const int type = in.at("type").get<int>();
  if (type < 0 || type > 4) throw std::invalid_argument("unknown file type");
  file.type = static_cast<FileType>(type);
  file.communication = in.at("communication").get<uint8_t>();
  const Bytes access = HexField(in, "access");
  if (access.size() != 2) throw std::invalid_argument("access rights are 2 bytes");
  file.access = AccessRights::FromBytes(access[0], access[1]);
  switch (file.type) {
    case FileType::kStandard:
    case FileType::kBackup:
      file.data = HexField(in, "data");
      break;
    case FileType::kValue:
      file.lowerLimit = in.at("lowerLimit").get<int32_t>();
      file.upperLimit = in.at("upperLimit").get<int32_t>();
      file.value = in.at("value").get<int32_t>();
      file.limitedCreditValue = in.at("limitedCreditValue").get<int32_t>();
      file.limitedCreditEnabled = in.at("limitedCreditEnabled").get<bool>();
      break;
    case FileType::kLinear:
    case FileType::kCyclic:
      file.recordSize = in.at("recordSize").get<uint32_t>();
      file.maxRecords = in.at("maxRecords").get<uint32_t>();
      for (const json& record : in.at("records")) {
        file.records.push_back(BytesFromHex(record.get<std::string>()));
        if (file.records.back().size() != file.recordSize) {
          throw std::invalid_argument("record of the wrong size");
        }
      }
      break;
  }
  file.isoFid = LoadIsoFid(in);
  return file;
}

}  // namespace desfire

json DesfireCard::Save() const {
  const CardMemory& memory = *memory_;
  json applications = json::array();
  for (const Application& application : memory.applications) {
    json keys = json::array();
    for (const Key& key : application.keys) keys.push_back(KeyToHex(key, application.keyType));
    json files = json::array();
    for (const auto& [number, file] : application.files) files.push_back(SaveFile(number, file));
    Bytes id;
    AppendUint24(id, application.id);
    json saved{{"aid", ToHex(id)},
               {"keySettings", application.keySettings},
               {"keys", keys},
               {"files", files}};
    if (application.keyType != KeyType::kLegacy)
      saved["keyType"] = KeyTypeName(application.keyType);
    SaveIsoFid(saved, application.isoFid);
    if (!application.dfName.empty()) saved["dfName"] = ToHex(application.dfName);
    applications.push_back(std::move(saved));
  }
  json saved{{"type", Type()},
             {"uid", ToHex(memory.uid)},
             {"batch", ToHex(memory.batch)},
             {"productionWeek", memory.productionWeek},
             {"productionYear", memory.productionYear},
             {"keySettings", memory.piccKeySettings},
             {"masterKey", KeyToHex(memory.piccKey, memory.piccKeyType)},
             {"usedMemory", memory.usedMemory},
             {"configuration", memory.configuration},
             {"defaultKey", KeyToHex(memory.defaultKey, KeyType::k3K3Des)},
             {"ats", ToHex(memory.ats)},
             {"applications", applications}};
  if (memory.piccKeyType != KeyType::kLegacy)
    saved["masterKeyType"] = KeyTypeName(memory.piccKeyType);
  // The session goes with the card, so that every process talks to the one state it has.
  if (json session = SaveSession(*session_); !session.empty()) saved["session"] = session;
  return saved;
}

std::string DesfireCard::Type() const {
  return FactsOf(memory_->capacity).type;
}

DesfireCard DesfireCard::Load(const json& document) {
  try {
    DesfireCard card =
        Blank(CapacityOfType(document.at("type").get<std::string>()), HexField(document, "uid"));
    if (HexField(document, "uid").size() != 7) {
      throw std::invalid_argument("a DESFire UID is 7 bytes");
    }
    if (document.contains("session")) *card.session_ = LoadSession(document.at("session"));
    // Type and UID alone stand for a card fresh from the factory.
    if (!document.contains("applications")) return card;
    CardMemory& memory = *card.memory_;
    memory.batch = HexField(document, "batch");
    if (memory.batch.size() != 5) throw std::invalid_argument("a batch number is 5 bytes");
    memory.productionWeek = document.at("productionWeek").get<uint8_t>();
    memory.productionYear = document.at("productionYear").get<uint8_t>();
    memory.piccKeySettings = document.at("keySettings").get<uint8_t>();
    memory.piccKey = KeyFromHex(document.at("masterKey").get<std::string>());
    memory.piccKeyType = KeyTypeOf(document.value("masterKeyType", "des"));
    memory.usedMemory = std::min(document.at("usedMemory").get<uint32_t>(), memory.TotalMemory());
    memory.configuration = document.value("configuration", uint8_t{0});
    if (document.contains("ats")) memory.ats = HexField(document, "ats");
    if (memory.ats.empty() || memory.ats[0] != memory.ats.size() ||
        AtsHistoricalBytes(memory.ats) > memory.ats.size()) {
      throw std::invalid_argument("an ATS starts with its length and T0");
    }
    if (document.contains("defaultKey")) {
      memory.defaultKey = KeyFromHex(document.at("defaultKey").get<std::string>());
    }
    for (const json& in : document.at("applications")) {
      const Bytes id = HexField(in, "aid");
      if (id.size() != 3) throw std::invalid_argument("an application id is 3 bytes");
      Application application{.id = ReadUint24(id, 0),
                              .keySettings = in.at("keySettings").get<uint8_t>()};
      application.keyType = KeyTypeOf(in.value("keyType", "des"));
      application.isoFid = LoadIsoFid(in);
      if (in.contains("dfName")) application.dfName = HexField(in, "dfName");
      if (application.dfName.size() > 16 || (!application.isoFid && !application.dfName.empty())) {
        throw std::invalid_argument("a DF name is up to 16 bytes, with an ISO file id");
      }
      for (const json& key : in.at("keys")) {
        application.keys.push_back(KeyFromHex(key.get<std::string>()));
      }
      if (application.keys.empty() || application.keys.size() > 14) {
        throw std::invalid_argument("an application has 1 to 14 keys");
      }
      for (const json& file : in.at("files")) {
        application.files.emplace(file.at("number").get<uint8_t>(), LoadFile(file));
      }
      memory.applications.push_back(std::move(application));
    }
    return card;
  } catch (const json::exception& e) {
    throw std::invalid_argument(std::string("DESFire card: ") + e.what());
  }
}

bool DesfireCard::Refresh(const json& saved) {
  DesfireCard fresh = Load(saved);
  if (fresh.memory_->uid != memory_->uid || fresh.memory_->capacity != memory_->capacity) {
    return false;
  }
  memory_ = std::move(fresh.memory_);
  session_ = std::move(fresh.session_);
  return true;
}

}  // namespace tarsin::sim
