// SPDX-License-Identifier: Apache-2.0
// What a MIFARE card holds, as a person wants to see it: Classic sectors with their blocks, value
// blocks as numbers and the access conditions in words; Ultralight pages.
#include <fmt/format.h>

#include "host/cli/show.h"
#include "mifare/mifare.h"
#include "mifare/value_block.h"

namespace tarsin::cli {
namespace {

constexpr uint8_t kKeyA = 1;
constexpr uint8_t kKeyB = 0;  // for reads, any type but 1 is key B

// Blocks of a Classic sector, and its first block.
int BlocksOf(int sector) {
  return sector < 32 ? 4 : 16;
}
int FirstBlock(int sector) {
  return sector < 32 ? 4 * sector : 128 + 16 * (sector - 32);
}

std::string Rights(int32_t rights, const char* const names[4]) {
  const auto part = [&](const char* key, int32_t bits) {
    return fmt::format("{} {}", key, names[bits & 3]);
  };
  return part("key A", rights & 3) + ", " + part("key B", (rights >> 2) & 3);
}

std::string DataRights(int32_t rights) {
  static const char* const names[4] = {"nothing", "read", "write", "read and write"};
  return Rights(rights, names);
}

std::string TrailerRights(int32_t rights) {
  static const char* const names[4] = {"nothing", "writes the keys", "writes the conditions",
                                       "writes keys and conditions"};
  return Rights(rights, names);
}

bool IsBlock(const std::string& data, size_t digits) {
  return data.size() == digits && data.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

// A read that succeeded with no data: the card went away in the middle of the command.
constexpr const char* kNoData = "the card answered without data";

// Reads one sector with the first key that opens it; the sector's JSON. `lost` says why the
// card stopped answering, when it did.
nlohmann::json ShowSector(Encoder& encoder, int sector, const std::vector<std::string>& keys,
                          std::string& lost) {
  nlohmann::json out = {{"sector", sector}};
  const int first = FirstBlock(sector);
  const int count = BlocksOf(sector);
  std::string refusal;
  for (const std::string& key : keys) {
    for (const uint8_t type : {kKeyA, kKeyB}) {
      std::string block;
      if (encoder.MifareReadDataBloc(first, key, type, block) != scesuccess) {
        const CardFailure failure = LastFailure(encoder);
        if (failure.lost) {
          out["error"] = lost = failure.text;
          return out;
        }
        refusal = failure.text;
        continue;
      }
      out["key"] = key;
      out["key_type"] = type == kKeyA ? "A" : "B";
      // The decoded rights come from the component for the sectors it reaches by 4 x sector + 3.
      mifare::SectorRights rights;
      const bool decoded =
          sector < 32 &&
          encoder.MifareReadSectorTrailer(sector, key, type, rights.keysUsed, rights.security[0],
                                          rights.security[1], rights.security[2], rights.conditions,
                                          rights.bx) == scesuccess;
      nlohmann::json blocks = nlohmann::json::array();
      for (int i = 0; i < count && lost.empty(); ++i) {
        const int number = first + i;
        nlohmann::json entry = {{"block", number}};
        if (i > 0 && encoder.MifareReadDataBloc(number, key, type, block) != scesuccess) {
          const CardFailure failure = LastFailure(encoder);
          entry["error"] = failure.text;
          if (failure.lost) lost = failure.text;
          blocks.push_back(entry);
          continue;
        }
        if (!IsBlock(block, 32)) {
          entry["error"] = lost = kNoData;
          blocks.push_back(entry);
          continue;
        }
        entry["data"] = block;
        const bool trailer = i == count - 1;
        entry["kind"] = trailer ? "trailer" : number == 0 ? "manufacturer" : "data";
        if (!trailer && number != 0) {
          if (const auto value = mifare::ValueOfBlock(block)) {
            entry["kind"] = "value";
            entry["value"] = *value;
          }
        }
        if (decoded) {
          entry["rights"] = trailer ? TrailerRights(rights.conditions)
                                    : DataRights(rights.security[std::min(i, 2)]);
        }
        blocks.push_back(entry);
      }
      out["blocks"] = blocks;
      if (decoded && lost.empty())
        out["access_bits"] = blocks.back().value("data", "").substr(12, 8);
      return out;
    }
  }
  out["error"] = "no key given opens this sector (" + refusal + ")";
  return out;
}

}  // namespace

nlohmann::json ShowMifare(Encoder& encoder, int32_t cardType,
                          const std::vector<std::string>& keys) {
  nlohmann::json out = {{"sectors", nlohmann::json::array()}};
  if (cardType == sceMifareUltralight) {
    // 16 pages of 4 bytes, read four at a time.
    nlohmann::json pages = nlohmann::json::array();
    for (int page = 0; page < 16; page += 4) {
      std::string data;
      const bool read = encoder.MifareReadDataBloc(page, keys.front(), kKeyA, data) == scesuccess;
      if (!read || !IsBlock(data, 32)) {
        out["incomplete"] =
            fmt::format("page {}: {}", page, read ? kNoData : LastFailure(encoder).text);
        break;
      }
      for (size_t i = 0; i < 4 && data.size() >= 8 * (i + 1); ++i) {
        pages.push_back({{"page", page + static_cast<int>(i)}, {"data", data.substr(8 * i, 8)}});
      }
    }
    out["pages"] = pages;
    return out;
  }
  const int sectors = cardType == sceMifare4K ? 40 : 16;
  std::string lost;
  for (int sector = 0; sector < sectors && lost.empty(); ++sector) {
    out["sectors"].push_back(ShowSector(encoder, sector, keys, lost));
    if (!lost.empty()) out["incomplete"] = fmt::format("sector {}: {}", sector, lost);
  }
  return out;
}

void PrintMifare(const nlohmann::json& card) {
  for (const auto& page : card.value("pages", nlohmann::json::array())) {
    fmt::print("  Page {:<3} {}\n", page["page"].get<int>(), page["data"].get<std::string>());
  }
  for (const auto& sector : card["sectors"]) {
    if (sector.contains("error")) {
      fmt::print("Sector {:<3} {}\n", sector["sector"].get<int>(),
                 sector["error"].get<std::string>());
      continue;
    }
    fmt::print("Sector {:<3} key {} {}{}\n", sector["sector"].get<int>(),
               sector["key_type"].get<std::string>(), sector["key"].get<std::string>(),
               sector.contains("access_bits")
                   ? ", access bits " + sector["access_bits"].get<std::string>()
                   : "");
    for (const auto& block : sector["blocks"]) {
      if (block.contains("error")) {
        fmt::print("  Block {:<3} {}\n", block["block"].get<int>(),
                   block["error"].get<std::string>());
        continue;
      }
      const std::string kind = block["kind"];
      std::string what = kind == "value"  ? fmt::format("value {}", block["value"].get<int>())
                         : kind == "data" ? std::string()
                                          : kind;
      if (block.contains("rights")) {
        what += (what.empty() ? "" : "; ") + block["rights"].get<std::string>();
      }
      fmt::print("  Block {:<3} {}  {}\n", block["block"].get<int>(),
                 block["data"].get<std::string>(), what);
    }
  }
}

}  // namespace tarsin::cli
