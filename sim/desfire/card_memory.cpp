#include "desfire/card_memory.h"

#include <algorithm>

namespace tarsin::sim::desfire {

uint8_t KeyVersion(const Key& key) {
  uint8_t version = 0;
  for (size_t i = 0; i < 8; ++i) version = static_cast<uint8_t>((version << 1) | (key[i] & 1));
  return version;
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

uint32_t CardMemory::TotalMemory() const {
  switch (capacity) {
    case DesfireCapacity::k2K:
      return 2048;
    case DesfireCapacity::k8K:
      return 8192;
    case DesfireCapacity::k4K:
      break;
  }
  return 4096;
}

Application* CardMemory::FindApplication(uint32_t id) {
  auto it = std::find_if(applications.begin(), applications.end(),
                         [id](const Application& a) { return a.id == id; });
  return it == applications.end() ? nullptr : &*it;
}

}  // namespace tarsin::sim::desfire
