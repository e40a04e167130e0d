// SPDX-License-Identifier: Apache-2.0
// A version is the file itself, kept open so that its inode number cannot pass to another file,
// with its size and times.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "store/file_version.h"
#include "store/user_files.h"

namespace tarsin::sim {

struct FileVersion::State {
  int fd = -1;
  struct stat seen {};
  std::int64_t checked_ns = 0;  // when the file's bytes were last known to be this version's

  State(int descriptor, const struct stat& status, std::int64_t checked)
      : fd(descriptor), seen(status), checked_ns(checked) {}
  State(const State&) = delete;
  State& operator=(const State&) = delete;
  ~State() {
    if (fd >= 0) ::close(fd);
  }
};

namespace {

std::int64_t Nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// A change written in place (not by rename) soon after the last look may carry the same size and
// time stamps as before: file times come from the kernel's coarse clock, which ticks in steps of
// a few milliseconds. Until the file is two ticks older than the last look, its bytes are
// compared.
std::int64_t TimestampSlackNs() {
  static const std::int64_t slack = [] {
    timespec tick{};
    ::clock_getres(CLOCK_REALTIME_COARSE, &tick);
    return std::max<std::int64_t>(2 * Nanoseconds(tick), 1'000'000);
  }();
  return slack;
}

std::int64_t Now() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return Nanoseconds(now);
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         Nanoseconds(a.st_mtim) == Nanoseconds(b.st_mtim) &&
         Nanoseconds(a.st_ctim) == Nanoseconds(b.st_ctim);
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

bool ReadAll(int fd, std::string& text) {
  char buffer[16384];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count == 0) return true;
    if (count < 0 && errno != EINTR) return false;
    if (count > 0) text.append(buffer, static_cast<std::size_t>(count));
  }
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t count = ::write(fd, text.data(), text.size());
    if (count < 0 && errno != EINTR) return false;
    if (count > 0) text.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

// A temporary file beside `path` that this call alone created: whatever lies at a name already
// (a symbolic link planted there, a crashed writer's leftover) is never opened. Only the user may
// read it, as the readers file holds keys.
int CreateTemporary(const std::filesystem::path& path, std::filesystem::path& temporary) {
  for (unsigned attempt = 0;; ++attempt) {
    temporary = path;
    temporary += ".tmp" + ProcessTag() + (attempt ? "-" + std::to_string(attempt) : "");
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST || attempt == 100) return fd;
  }
}

}  // namespace

bool FileVersion::Read(const std::filesystem::path& path, std::string& text, FileVersion& version) {
  const std::int64_t started = Now();
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) {
    if (errno == ENOENT) return false;
    throw std::runtime_error("cannot read " + path.string());
  }
  struct stat status {};
  text.clear();
  if (!ReadAll(file.get(), text) || ::fstat(file.get(), &status) != 0) {
    throw std::runtime_error("cannot read " + path.string());
  }
  version.state_ = std::make_shared<const State>(file.release(), status, started);
  return true;
}

FileVersion FileVersion::Replace(const std::filesystem::path& path, const std::string& text) {
  const std::int64_t started = Now();
  std::filesystem::path temporary;
  Descriptor file(CreateTemporary(path, temporary));
  if (file.get() < 0) throw std::runtime_error("cannot write " + path.string());
  struct stat status {};
  // On disk before the name points to it, or a crash could leave an empty readers file.
  if (!WriteAll(file.get(), text) || ::fsync(file.get()) != 0 ||
      ::rename(temporary.c_str(), path.c_str()) != 0 || ::fstat(file.get(), &status) != 0) {
    ::unlink(temporary.c_str());
    throw std::runtime_error("cannot write " + path.string());
  }
  FileVersion version;
  version.state_ = std::make_shared<const State>(file.release(), status, started);
  return version;
}

bool FileVersion::Unchanged(const std::filesystem::path& path) const {
  struct stat status {};
  return state_ && ::stat(path.c_str(), &status) == 0 && SameFile(status, state_->seen) &&
         Nanoseconds(status.st_ctim) + TimestampSlackNs() < state_->checked_ns;
}

bool FileVersion::SameAs(const FileVersion& other) const {
  return state_ && other.state_ && SameFile(state_->seen, other.state_->seen);
}

}  // namespace tarsin::sim
