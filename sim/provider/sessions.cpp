// SPDX-License-Identifier: Apache-2.0
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
  const auto lock =
      std::string_view(kind) == "share" ? ReaderLock::kShare : ReaderLock::kTransaction;
  return FileLock::Try(ReadersFile::LockFileOf(bank.file().path()),
                       ReadersFile::SlotOf(reader, lock), exclusive);
}

std::uint64_t& Sessions::ResetsOf(const ReaderBank& bank, const std::string& reader) {
  return resets[bank.file().path().string() + '\n' + reader];
}

}  // namespace tarsin::sim::provider
