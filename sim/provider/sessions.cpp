#include "provider/sessions.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <functional>
#include <random>

namespace tarsin::sim::provider {

SharedLock& SharedLock::operator=(SharedLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

SharedLock::~SharedLock() {
  if (fd_ >= 0) ::close(fd_);
}

SharedLock SharedLock::TryTake(const std::string& path, int operation) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return SharedLock();
  if (::flock(fd, operation | LOCK_NB) != 0) {
    ::close(fd);
    return SharedLock();
  }
  return SharedLock(fd);
}

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

std::string Sessions::LockPath(const ReaderBank& bank, const std::string& reader,
                               const char* kind) {
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%s.%016zx", kind, std::hash<std::string>{}(reader));
  return bank.file().path().string() + suffix;
}

std::uint64_t& Sessions::ResetsOf(const ReaderBank& bank, const std::string& reader) {
  return resets[bank.file().path().string() + '\n' + reader];
}

}  // namespace tarsin::sim::provider
