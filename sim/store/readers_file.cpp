#include "store/readers_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "store/file_lock.h"

namespace tarsin::sim {

// What this process last read or wrote. The file is kept open so that its inode number cannot
// go to another file while the contents are cached under it.
struct ReadersFile::Cache {
  std::mutex mutex;
  int fd = -1;
  struct stat seen {};
  std::int64_t checked_ns = 0;  // when the file's bytes were last known to be `text`
  std::string text;
  std::shared_ptr<const nlohmann::json> contents;

  Cache() = default;
  Cache(const Cache&) = delete;
  Cache& operator=(const Cache&) = delete;
  ~Cache() {
    if (fd >= 0) ::close(fd);
  }
  void Keep(int descriptor, const struct stat& status, std::int64_t checked) {
    if (fd >= 0) ::close(fd);
    fd = descriptor;
    seen = status;
    checked_ns = checked;
  }
};

namespace {

// A change written in place (not by rename) within this long of the last look may carry the
// same size and time stamps as before: file times come from a clock that ticks in steps of a
// few milliseconds. Until the file is older than this, its bytes are compared.
constexpr std::int64_t kTimestampSlackNs = 100'000'000;

std::int64_t Nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
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

// Byte 0 of the lock file: the data file itself is replaced by rename, so it cannot carry the
// lock. The other bytes belong to the readers (ReaderLock).
FileLock LockFile(const std::filesystem::path& data_path, bool exclusive) {
  return FileLock::Wait(ReadersFile::LockFileOf(data_path), 0, exclusive);
}

void EnsureParentFolder(const std::filesystem::path& path) {
  std::error_code ignored;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
}

std::shared_ptr<ReadersFile::Cache> CacheOf(const std::filesystem::path& path) {
  static std::mutex mutex;
  static auto* caches = new std::map<std::string, std::weak_ptr<ReadersFile::Cache>>();
  std::lock_guard hold(mutex);
  auto& slot = (*caches)[path.string()];
  auto cache = slot.lock();
  if (!cache) {
    std::erase_if(*caches, [](const auto& entry) { return entry.second.expired(); });
    cache = std::make_shared<ReadersFile::Cache>();
    (*caches)[path.string()] = cache;
  }
  return cache;
}

// The contents, read again only when the file changed; nullptr when there is no file.
// Under the cache's mutex.
std::shared_ptr<const nlohmann::json> Current(ReadersFile::Cache& cache,
                                              const std::filesystem::path& path) {
  struct stat status {};
  if (cache.contents && ::stat(path.c_str(), &status) == 0 && SameFile(status, cache.seen) &&
      Nanoseconds(status.st_ctim) + kTimestampSlackNs < cache.checked_ns) {
    return cache.contents;
  }
  const std::int64_t started = Now();
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) {
    if (errno == ENOENT) return nullptr;
    throw std::runtime_error("cannot read " + path.string());
  }
  std::string text;
  if (!ReadAll(file.get(), text) || ::fstat(file.get(), &status) != 0) {
    throw std::runtime_error("cannot read " + path.string());
  }
  if (!cache.contents || !SameFile(status, cache.seen) || text != cache.text) {
    try {
      cache.contents = std::make_shared<const nlohmann::json>(nlohmann::json::parse(text));
    } catch (const nlohmann::json::exception& error) {
      cache.contents.reset();
      throw std::runtime_error(path.string() + ": " + error.what());
    }
    cache.text = std::move(text);
  }
  cache.Keep(file.release(), status, started);
  return cache.contents;
}

// Atomic replace; under the exclusive lock and the cache's mutex.
void Store(ReadersFile::Cache& cache, const std::filesystem::path& path, nlohmann::json contents) {
  EnsureParentFolder(path);
  const std::int64_t started = Now();
  auto temporary = path;
  temporary += ".tmp" + std::to_string(::getpid());
  std::string text = contents.dump(2) + '\n';
  Descriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  struct stat status {};
  if (file.get() < 0 || !WriteAll(file.get(), text) ||
      ::rename(temporary.c_str(), path.c_str()) != 0 || ::fstat(file.get(), &status) != 0) {
    ::unlink(temporary.c_str());
    throw std::runtime_error("cannot write " + path.string());
  }
  cache.text = std::move(text);
  cache.contents = std::make_shared<const nlohmann::json>(std::move(contents));
  cache.Keep(file.release(), status, started);
}

}  // namespace

std::filesystem::path ReadersFile::LockFileOf(const std::filesystem::path& data_path) {
  auto lock_path = data_path;
  lock_path += ".lock";
  return lock_path;
}

std::filesystem::path ReadersFile::DefaultPath() {
  if (const char* named = std::getenv("TARSIN_RF_VIRTUAL_READERS"); named && *named) return named;
  std::filesystem::path data;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
    data = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    data = std::filesystem::path(home) / ".local/share";
  } else {
    data = "/tmp";
  }
  return data / "Quillon/Nemora/virtual-readers.json";
}

nlohmann::json ReadersFile::DefaultContents() {
  auto reader = [](int index, nlohmann::json card) {
    return nlohmann::json{{"name", "Tarsin Virtual Reader " + std::to_string(index)},
                          {"vendor", "Tarsin"},
                          {"ifdType", "Virtual contactless reader"},
                          {"ifdVersion", "1.0.0"},
                          {"serial", "TVR" + std::to_string(1000 + index)},
                          {"protocols", {"T0", "T1"}},
                          {"present", true},
                          {"card", std::move(card)},
                          {"cardPresent", true}};
  };
  return {{"readers",
           {reader(0, {{"type", "mifare-classic-1k"}, {"uid", "B47C2E91"}}),
            reader(1, {{"type", "mifare-desfire-ev1-4k"}, {"uid", "045A318A2C3B80"}})}}};
}

ReadersFile::ReadersFile(std::filesystem::path path)
    : path_(std::move(path)), cache_(CacheOf(path_)) {}

std::uint64_t ReadersFile::SlotOf(const std::string& reader, ReaderLock lock) {
  const std::uint64_t name = std::hash<std::string>{}(reader)&0x0FFF'FFFF'FFFF'FFFFull;
  return (name << 2 | static_cast<std::uint64_t>(lock)) + 1;  // stays a positive off_t
}

std::shared_ptr<const nlohmann::json> ReadersFile::Snapshot() const {
  {
    std::lock_guard hold(cache_->mutex);
    if (auto current = Current(*cache_, path_)) return current;
  }
  EnsureParentFolder(path_);
  auto lock = LockFile(path_, true);
  std::lock_guard hold(cache_->mutex);
  if (auto current = Current(*cache_, path_)) return current;
  Store(*cache_, path_, DefaultContents());
  return cache_->contents;
}

void ReadersFile::Update(const std::function<bool(nlohmann::json&)>& change) const {
  EnsureParentFolder(path_);
  auto lock = LockFile(path_, true);
  std::lock_guard hold(cache_->mutex);
  auto current = Current(*cache_, path_);
  nlohmann::json contents = current ? *current : DefaultContents();
  if (change(contents)) Store(*cache_, path_, std::move(contents));
}

void ReadersFile::Write(const nlohmann::json& contents) const {
  EnsureParentFolder(path_);
  auto lock = LockFile(path_, true);
  std::lock_guard hold(cache_->mutex);
  Store(*cache_, path_, contents);
}

}  // namespace tarsin::sim
