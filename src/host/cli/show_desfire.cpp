// SPDX-License-Identifier: Apache-2.0
// What a DESFire card holds: its version, its applications with their key settings, and each
// application's files with their settings, sizes, values and record counts.
#include <fmt/format.h>

#include "core/hex_text.h"
#include "core/parameter_text.h"
#include "host/cli/show.h"

namespace tarsin::cli {
namespace {

constexpr const char* kZeroKey = "0000000000000000";

// `count` bytes from `at`, least significant first.
uint32_t Little(const ByteVector& bytes, size_t at, size_t count) {
  uint32_t value = 0;
  for (size_t i = count; i-- > 0;)
    value = (value << 8) | (at + i < bytes.size() ? bytes[at + i] : 0);
  return value;
}

std::string Right(uint32_t nibble) {
  return nibble == 0xE ? "free" : nibble == 0xF ? "never" : fmt::format("key {}", nibble);
}

// The last failure's text; `lost` takes its reason when the card stopped answering.
std::string Failure(Encoder& encoder, std::string& lost) {
  const CardFailure failure = LastFailure(encoder);
  if (failure.lost && lost.empty()) lost = failure.text;
  return failure.text;
}

// A file's settings record, decoded.
nlohmann::json FileSettings(const std::string& information) {
  static const char* const kinds[] = {"standard data", "backup data", "value", "linear records",
                                      "cyclic records"};
  static const char* const communications[] = {"plain", "MAC", "plain", "enciphered"};
  std::string digits = information;
  std::erase(digits, ' ');
  const ByteVector b = HexToBytes(digits);
  nlohmann::json file = {{"settings", information}};
  if (b.size() < 4) return file;
  file["kind"] = b[0] < 5 ? kinds[b[0]] : "unknown";
  file["communication"] = communications[b[1] & 3];
  file["rights"] = {{"read", Right(b[3] >> 4)},
                    {"write", Right(b[3] & 0xF)},
                    {"read_write", Right(b[2] >> 4)},
                    {"change", Right(b[2] & 0xF)}};
  if (b[0] <= 1) file["size"] = Little(b, 4, 3);
  if (b[0] == 2) {
    file["lower_limit"] = static_cast<int32_t>(Little(b, 4, 4));
    file["upper_limit"] = static_cast<int32_t>(Little(b, 8, 4));
    file["limited_credit"] = Little(b, 16, 1) != 0;
  }
  if (b[0] >= 3 && b[0] <= 4) {
    file["record_size"] = Little(b, 4, 3);
    file["max_records"] = Little(b, 7, 3);
    file["records"] = Little(b, 10, 3);
  }
  return file;
}

std::vector<std::string> List(const std::string& commaSeparated) {
  std::vector<std::string> items;
  for (std::string_view item : SplitAt(commaSeparated, ",")) {
    if (!item.empty()) items.emplace_back(item);
  }
  return items;
}

// The key settings and key count of the level entered, when the card tells them.
void AddKeySettings(Encoder& encoder, nlohmann::json& level) {
  int32_t settings = 0;
  int32_t count = 0;
  if (encoder.DESFireGetKeySettings(settings, count) == scesuccess) {
    level["key_settings"] = settings;
    // The card's key-type bits ride on the count: 0x40 three-key triple DES, 0x80 AES.
    level["keys"] = count & 0x3F;
    if ((count & 0xC0) == 0x80) level["key_type"] = "AES";
    if ((count & 0xC0) == 0x40) level["key_type"] = "3K3DES";
  }
}

nlohmann::json ShowApplication(Encoder& encoder, const std::string& id, const std::string& key,
                               std::string& lost) {
  nlohmann::json app = {{"id", id}};
  // A refused command costs the card's authentication: each step enters again.
  const auto enter = [&] { return encoder.DESFireSelectApplication(id, 0, key) == scesuccess; };
  if (!enter()) {
    app["error"] = "not entered: " + Failure(encoder, lost);
    return app;
  }
  AddKeySettings(encoder, app);
  std::string ids;
  if (!enter() || encoder.DESFireGetFileIDs(ids) != scesuccess) {
    app["error"] = "files not listed: " + Failure(encoder, lost);
    return app;
  }
  app["files"] = nlohmann::json::array();
  for (const std::string& number : List(ids)) {
    if (!lost.empty()) break;
    const int32_t file = std::stoi(number);
    std::string information;
    nlohmann::json entry = {{"file", file}};
    if (encoder.DESFireGetFileSettings(file, information) == scesuccess) {
      entry.update(FileSettings(information));
    } else {
      entry["error"] = Failure(encoder, lost);
      enter();
    }
    if (entry.value("kind", "") == "value" && entry.value("communication", "") == "plain") {
      int32_t value = 0;
      if (encoder.DESFireGetValue(file, value) == scesuccess) {
        entry["value"] = value;
      } else {
        entry["value_error"] = Failure(encoder, lost);
        enter();
      }
    }
    app["files"].push_back(entry);
  }
  return app;
}

std::string KeysText(const nlohmann::json& level) {
  const std::string type =
      level.contains("key_type") ? " " + level["key_type"].get<std::string>() : std::string();
  return fmt::format("{}{} key(s)", level["keys"].get<int>(), type);
}

}  // namespace

nlohmann::json ShowDesfire(Encoder& encoder, const std::string& cardKey,
                           const std::map<std::string, std::string>& appKeys) {
  nlohmann::json card;
  Variant version;
  if (encoder.DESFireGetVersion(dfvAllData, version) == scesuccess &&
      version.kind() == Variant::Kind::Bytes) {
    const Variant::Bytes& bytes = version.asBytes();
    std::string hex;
    for (uint8_t b : bytes) hex += fmt::format("{:02X}", b);
    card["version"] = hex;
    if (bytes.size() >= 21) card["uid"] = hex.substr(28, 14);
    Variant storage;
    if (encoder.DESFireGetVersion(dfvStorageSize, storage) == scesuccess) {
      card["storage"] = storage.asInt64();
    }
  }
  std::string lost;
  if (encoder.DESFireSelectRoot(cardKey) != scesuccess) {
    const std::string why = Failure(encoder, lost);
    card[lost.empty() ? "error" : "incomplete"] =
        lost.empty() ? "the card key was refused: " + why : why;
    return card;
  }
  AddKeySettings(encoder, card);
  std::string ids;
  if (encoder.DESFireSelectRoot(cardKey) != scesuccess ||
      encoder.DESFireGetApplications(ids) != scesuccess) {
    card["error"] = "applications not listed: " + Failure(encoder, lost);
  } else {
    card["applications"] = nlohmann::json::array();
    for (const std::string& id : List(ids)) {
      if (!lost.empty()) break;
      const auto given = appKeys.find(id);
      card["applications"].push_back(
          ShowApplication(encoder, id, given == appKeys.end() ? kZeroKey : given->second, lost));
    }
  }
  if (!lost.empty()) card["incomplete"] = lost;
  return card;
}

void PrintDesfire(const nlohmann::json& card) {
  if (card.contains("uid")) {
    fmt::print("Card         UID {}, {} bytes of storage\n", card["uid"].get<std::string>(),
               card.value("storage", 0));
  }
  if (card.contains("key_settings")) {
    fmt::print("Card level   key settings 0x{:02X}, {}\n", card["key_settings"].get<int>(),
               KeysText(card));
  }
  if (card.contains("error")) fmt::print("             {}\n", card["error"].get<std::string>());
  for (const auto& app : card.value("applications", nlohmann::json::array())) {
    fmt::print("Application  {}", app["id"].get<std::string>());
    if (app.contains("key_settings")) {
      fmt::print(": key settings 0x{:02X}, {}", app["key_settings"].get<int>(), KeysText(app));
    }
    fmt::print("\n");
    if (app.contains("error")) fmt::print("  {}\n", app["error"].get<std::string>());
    for (const auto& file : app.value("files", nlohmann::json::array())) {
      fmt::print("  File {:<3}   ", file["file"].get<int>());
      if (file.contains("error")) {
        fmt::print("{}\n", file["error"].get<std::string>());
        continue;
      }
      const auto& r = file["rights"];
      fmt::print("{}, {}; read {}, write {}, read-write {}, change {}",
                 file["kind"].get<std::string>(), file["communication"].get<std::string>(),
                 r["read"].get<std::string>(), r["write"].get<std::string>(),
                 r["read_write"].get<std::string>(), r["change"].get<std::string>());
      if (file.contains("size")) fmt::print("; {} bytes", file["size"].get<int>());
      if (file.contains("lower_limit")) {
        fmt::print("; {} to {}{}", file["lower_limit"].get<int>(), file["upper_limit"].get<int>(),
                   file["limited_credit"].get<bool>() ? ", limited credit" : "");
      }
      if (file.contains("value")) fmt::print("; value {}", file["value"].get<int>());
      if (file.contains("records")) {
        fmt::print("; {} of {} records of {} bytes", file["records"].get<int>(),
                   file["max_records"].get<int>(), file["record_size"].get<int>());
      }
      fmt::print("\n");
    }
  }
}

}  // namespace tarsin::cli
