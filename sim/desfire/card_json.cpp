// The card's memory as a JSON document, so that a card keeps what was written to it.
#include <stdexcept>

#include "desfire/card_memory.h"
#include "desfire/card_session.h"
#include "desfire/desfire_card.h"

namespace tarsin::sim {

using namespace desfire;
using nlohmann::json;

namespace {

constexpr const char* kCardType = "MIFARE DESFire EV1";

std::string ToHex(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (uint8_t b : bytes) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
  }
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  throw std::invalid_argument(std::string("not a hex digit: ") + c);
}

Bytes FromHex(const std::string& text) {
  if (text.size() % 2 != 0) throw std::invalid_argument("odd hex text: " + text);
  Bytes bytes;
  for (size_t i = 0; i < text.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(HexDigit(text[i]) << 4 | HexDigit(text[i + 1])));
  }
  return bytes;
}

Key KeyFromHex(const std::string& text) {
  const Bytes bytes = FromHex(text);
  if (bytes.size() != 16) throw std::invalid_argument("a key is 16 bytes: " + text);
  Key key;
  std::copy(bytes.begin(), bytes.end(), key.begin());
  return key;
}

const char* CapacityName(DesfireCapacity capacity) {
  switch (capacity) {
    case DesfireCapacity::k2K:
      return "2K";
    case DesfireCapacity::k8K:
      return "8K";
    case DesfireCapacity::k4K:
      break;
  }
  return "4K";
}

DesfireCapacity CapacityFromName(const std::string& name) {
  if (name == "2K") return DesfireCapacity::k2K;
  if (name == "4K") return DesfireCapacity::k4K;
  if (name == "8K") return DesfireCapacity::k8K;
  throw std::invalid_argument("unknown DESFire capacity: " + name);
}

json SaveFile(uint8_t number, const DesfireFile& file) {
  json out{{"number", number},
           {"type", static_cast<int>(file.type)},
           {"communication", file.communication},
           {"access", ToHex(file.access.ToBytes())}};
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
  return out;
}

DesfireFile LoadFile(const json& in) {
  DesfireFile file;
  const int type = in.at("type").get<int>();
  if (type < 0 || type > 4) throw std::invalid_argument("unknown file type");
  file.type = static_cast<FileType>(type);
  file.communication = in.at("communication").get<uint8_t>();
  const Bytes access = FromHex(in.at("access").get<std::string>());
  if (access.size() != 2) throw std::invalid_argument("access rights are 2 bytes");
  file.access = AccessRights::FromBytes(access[0], access[1]);
  switch (file.type) {
    case FileType::kStandard:
    case FileType::kBackup:
      file.data = FromHex(in.at("data").get<std::string>());
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
        file.records.push_back(FromHex(record.get<std::string>()));
        if (file.records.back().size() != file.recordSize) {
          throw std::invalid_argument("record of the wrong size");
        }
      }
      break;
  }
  return file;
}

}  // namespace

json DesfireCard::Save() const {
  const CardMemory& memory = *memory_;
  json applications = json::array();
  for (const Application& application : memory.applications) {
    json keys = json::array();
    for (const Key& key : application.keys) keys.push_back(ToHex(key));
    json files = json::array();
    for (const auto& [number, file] : application.files) files.push_back(SaveFile(number, file));
    Bytes id;
    AppendUint24(id, application.id);
    applications.push_back({{"aid", ToHex(id)},
                            {"keySettings", application.keySettings},
                            {"keys", keys},
                            {"files", files}});
  }
  return json{{"type", kCardType},
              {"capacity", CapacityName(memory.capacity)},
              {"uid", ToHex(memory.uid)},
              {"batch", ToHex(memory.batch)},
              {"productionWeek", memory.productionWeek},
              {"productionYear", memory.productionYear},
              {"keySettings", memory.piccKeySettings},
              {"masterKey", ToHex(memory.piccKey)},
              {"usedMemory", memory.usedMemory},
              {"applications", applications}};
}

DesfireCard DesfireCard::Load(const json& document) {
  try {
    if (document.at("type").get<std::string>() != kCardType) {
      throw std::invalid_argument("not a DESFire card");
    }
    DesfireCard card;
    CardMemory& memory = *card.memory_;
    memory.capacity = CapacityFromName(document.at("capacity").get<std::string>());
    memory.uid = FromHex(document.at("uid").get<std::string>());
    if (memory.uid.size() != 7) throw std::invalid_argument("a DESFire UID is 7 bytes");
    memory.batch = FromHex(document.at("batch").get<std::string>());
    memory.productionWeek = document.at("productionWeek").get<uint8_t>();
    memory.productionYear = document.at("productionYear").get<uint8_t>();
    memory.piccKeySettings = document.at("keySettings").get<uint8_t>();
    memory.piccKey = KeyFromHex(document.at("masterKey").get<std::string>());
    memory.usedMemory = document.at("usedMemory").get<uint32_t>();
    for (const json& in : document.at("applications")) {
      const Bytes id = FromHex(in.at("aid").get<std::string>());
      if (id.size() != 3) throw std::invalid_argument("an application id is 3 bytes");
      Application application{.id = ReadUint24(id, 0),
                              .keySettings = in.at("keySettings").get<uint8_t>()};
      for (const json& key : in.at("keys")) {
        application.keys.push_back(KeyFromHex(key.get<std::string>()));
      }
      for (const json& file : in.at("files")) {
        application.files.emplace(file.at("number").get<uint8_t>(), LoadFile(file));
      }
      memory.applications.push_back(std::move(application));
    }
    return card;
  } catch (const json::exception& e) {
    throw std::invalid_argument(std::string("DESFire card file: ") + e.what());
  } catch (const std::out_of_range& e) {
    throw std::invalid_argument(std::string("DESFire card file: ") + e.what());
  }
}

}  // namespace tarsin::sim
