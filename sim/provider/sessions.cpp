#include "provider/sessions.h"

#include <functional>
#include <random>
#include <string_view>

namespace tarsin::sim::provider {

Sessions& Sessions::Instance() {
  static Sessions sessions;
  return sessions;
}

unsigned long Sessions::NewHandleValue() const {
  static std::mt19937 generator{std::random_device{}()};
  for (;;) {
    unsigned long value = generator() & 0x7FFFFFFFul;
    if (value != 0 && !contexts.contains(value) && !handles.contains(value)) return value;
  }
}

std::shared_ptr<ReaderBank> Sessions::CurrentBank() {
  auto path = ReadersFile::DefaultPath().string();
  auto& slot = banks_[path];
  auto bank = slot.lock();
  if (!bank) {
    bank = std::make_shared<ReaderBank>(ReadersFile(path));
    slot = bank;
  }
  return bank;
}

SharedLock Sessions::TryLock(const ReaderBank& bank, const std::string& reader, const char* kind,
                             bool exclusive) {
  // Byte 0 guards the readers file; each reader and kind gets a byte of its own above it.
  const std::uint64_t hash = std::hash<std::string>{}(reader);
  const std::uint64_t name = hash & 0x1FFF'FFFF'FFFF'FFFFull;  // keeps the offset an off_t
  const std::uint64_t slot = (name << 1 | (std::string_view(kind) == "share" ? 0 : 1)) + 1;
  return FileLock::Try(ReadersFile::LockFileOf(bank.file().path()), slot, exclusive);
}

std::uint64_t& Sessions::ResetsOf(const ReaderBank& bank, const std::string& reader) {
  return resets[bank.file().path().string() + '\n' + reader];
}

}  // namespace tarsin::sim::provider
