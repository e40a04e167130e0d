// SPDX-License-Identifier: Apache-2.0
#include "desfire/card_memory.h"

#include <algorithm>
#include <stdexcept>

namespace tarsin::sim::desfire {

size_t KeyLength(KeyType type) {
  return type == KeyType::k3K3Des ? 24 : 16;
}

uint8_t KeyVersion(const Key& key, KeyType type) {
  if (type == KeyType::kAes) return key[16];
  uint8_t version = 0;
  for (size_t i = 0; i < 8; ++i) version = static_cast<uint8_t>((version << 1) | (key[i] & 1));
  return version;
}

void SetKeyVersion(Key& key, uint8_t version) {
  // A single DES key keeps equal halves, so that the version does not make it a two-key one.
  const bool singleDes = IsSingleDesKey(LegacyPart(key));
  for (size_t i = 0; i < 8; ++i) {
    key[i] = static_cast<uint8_t>((key[i] & 0xFE) | ((version >> (7 - i)) & 1));
    if (singleDes) key[i + 8] = key[i];
  }
}

size_t AtsHistoricalBytes(const Bytes& ats) {
  size_t start = 2;
  for (const uint8_t present : {0x10, 0x20, 0x40}) {
    if (ats.size() > 1 && (ats[1] & present)) ++start;
  }
  return start;
}

AccessRights AccessRights::FromBytes(uint8_t first, uint8_t second) {
  return AccessRights{.read = static_cast<uint8_t>(second >> 4),
                      .write = static_cast<uint8_t>(second & 0x0F),
                      .readWrite = static_cast<uint8_t>(first >> 4),
                      .change = static_cast<uint8_t>(first & 0x0F)};
}

std::array<uint8_t, 2> AccessRights::ToBytes() const {
  return {static_cast<uint8_t>(readWrite << 4 | change), static_cast<uint8_t>(read << 4 | write)};
}

namespace {

constexpr std::array<CapacityFacts, 3> kCapacities{{
    // A formatted EV1 4K reports 4864 bytes free, more than its nominal size: a 4096-byte NDEF
    // file fits beside its header file. The other sizes keep their nominal figure.
    {DesfireCapacity::k2K, 0x16, 2048, "mifare-desfire-ev1-2k"},
    {DesfireCapacity::k4K, 0x18, 4864, "mifare-desfire-ev1-4k"},
    {DesfireCapacity::k8K, 0x1A, 8192, "mifare-desfire-ev1-8k"},
}};

}  // namespace

const CapacityFacts& FactsOf(DesfireCapacity capacity) {
  for (const CapacityFacts& facts : kCapacities) {
    if (facts.capacity == capacity) return facts;
  }
  return kCapacities[1];
}

DesfireCapacity CapacityOfType(const std::string& type) {
  for (const CapacityFacts& facts : kCapacities) {
    if (type == facts.type) return facts.capacity;
  }
  throw std::invalid_argument("not a DESFire card type: " + type);
}

uint32_t CardMemory::TotalMemory() const {
  return FactsOf(capacity).bytes;
}

Application* CardMemory::FindApplication(uint32_t id) {
  auto it = std::find_if(applications.begin(), applications.end(),
                         [id](const Application& a) { return a.id == id; });
  return it == applications.end() ? nullptr : &*it;
}

}  // namespace tarsin::sim::desfire
