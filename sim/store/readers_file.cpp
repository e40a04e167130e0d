// SPDX-License-Identifier: Apache-2.0
#include "store/readers_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "store/file_lock.h"
#include "store/file_version.h"
#include "store/user_files.h"

namespace tarsin::sim {

// What this process last read or wrote.
struct ReadersFile::Cache {
  using Span = std::pair<std::size_t, std::size_t>;  // begin, end in `text`

  std::mutex mutex;
  FileVersion version;
  std::string text;
  std::vector<Span> spans;  // of the reader entries in `text`, when the scan found them all
  bool spanned = false;
  std::shared_ptr<const Contents> contents;
};

namespace {

// Byte 0 of the lock file: the data file itself is replaced by rename, so it cannot carry the
// lock. The other bytes belong to the readers (ReaderLock).
FileLock LockFile(const std::filesystem::path& data_path, bool exclusive) {
  return FileLock::Wait(ReadersFile::LockFileOf(data_path), 0, exclusive);
}

void EnsureParentFolder(const std::filesystem::path& path) {
  std::error_code ignored;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
}

// Finds where each element of the top-level "readers" array lies in `text`, without building
// anything. False when the text is not laid out so (the caller then parses it whole).
class EntryScanner {
 public:
  explicit EntryScanner(std::string_view text) : text_(text) {}

  bool Scan(std::vector<ReadersFile::Cache::Span>& spans) {
    bool readers_seen = false;
    Blanks();
    if (!Take('{')) return false;
    Blanks();
    if (Take('}')) return AtEnd();
    for (;;) {
      Blanks();
      std::string_view key;
      if (!String(&key)) return false;
      Blanks();
      if (!Take(':')) return false;
      Blanks();
      if (key == "readers" && Peek() == '[') {
        if (std::exchange(readers_seen, true)) return false;  // which one counts is not ours
        if (!Elements(spans)) return false;
      } else if (!Value()) {
        return false;
      }
      Blanks();
      if (Take('}')) return AtEnd();
      if (!Take(',')) return false;
    }
  }

 private:
  char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
  bool Take(char c) {
    if (Peek() != c) return false;
    ++at_;
    return true;
  }
  bool AtEnd() {
    Blanks();
    return at_ == text_.size();
  }
  void Blanks() { at_ = std::min(text_.find_first_not_of(" \t\r\n", at_), text_.size()); }
  bool String(std::string_view* raw) {
    if (!Take('"')) return false;
    const std::size_t begin = at_;
    for (;;) {
      const void* quote = std::memchr(text_.data() + at_, '"', text_.size() - at_);
      if (!quote) return false;
      const std::size_t end =
          static_cast<std::size_t>(static_cast<const char*>(quote) - text_.data());
      std::size_t escapes = end;
      while (escapes > begin && text_[escapes - 1] == '\\') --escapes;
      at_ = end + 1;
      if ((end - escapes) % 2 == 0) break;  // not itself escaped
    }
    if (raw) *raw = text_.substr(begin, at_ - 1 - begin);
    return true;
  }
  // Skips one value; its validity is the parser's business.
  bool Value() {
    const char first = Peek();
    if (first == '"') return String(nullptr);
    if (first == '{' || first == '[') {
      int depth = 0;
      while (at_ < text_.size()) {
        const char c = text_[at_];
        if (c == '"') {
          if (!String(nullptr)) return false;
          continue;
        }
        ++at_;
        if (c == '{' || c == '[') ++depth;
        if ((c == '}' || c == ']') && --depth == 0) return true;
      }
      return false;
    }
    const std::size_t begin = at_;
    at_ = std::min(text_.find_first_of(",}] \t\r\n", at_), text_.size());
    return at_ > begin;
  }
  bool Elements(std::vector<ReadersFile::Cache::Span>& spans) {
    Take('[');
    Blanks();
    if (Take(']')) return true;
    for (;;) {
      Blanks();
      const std::size_t begin = at_;
      if (!Value()) return false;
      spans.emplace_back(begin, at_);
      Blanks();
      if (Take(']')) return true;
      if (!Take(',')) return false;
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

std::string_view Piece(const std::string& text, const ReadersFile::Cache::Span& span) {
  return std::string_view(text).substr(span.first, span.second - span.first);
}

// The text around the entries is the same in both.
bool SameFrame(const std::string& a, const std::vector<ReadersFile::Cache::Span>& a_spans,
               const std::string& b, const std::vector<ReadersFile::Cache::Span>& b_spans) {
  if (a_spans.size() != b_spans.size()) return false;
  std::size_t a_from = 0, b_from = 0;
  for (std::size_t i = 0; i <= a_spans.size(); ++i) {
    const std::size_t a_to = i < a_spans.size() ? a_spans[i].first : a.size();
    const std::size_t b_to = i < b_spans.size() ? b_spans[i].first : b.size();
    if (Piece(a, {a_from, a_to}) != Piece(b, {b_from, b_to})) return false;
    if (i < a_spans.size()) {
      a_from = a_spans[i].second;
      b_from = b_spans[i].second;
    }
  }
  return true;
}

// Takes `text` as the file's contents. When only entries changed, only they are parsed again;
// otherwise the whole text is. Throws std::runtime_error when it is not JSON.
void Take(ReadersFile::Cache& cache, std::string text, const std::filesystem::path& path) {
  std::vector<ReadersFile::Cache::Span> spans;
  const bool scanned = EntryScanner(text).Scan(spans);
  auto contents = std::make_shared<ReadersFile::Contents>();
  try {
    if (scanned && cache.spanned && cache.contents &&
        SameFrame(cache.text, cache.spans, text, spans)) {
      for (std::size_t i = 0; i < spans.size(); ++i) {
        const auto piece = Piece(text, spans[i]);
        contents->readers.push_back(
            piece == Piece(cache.text, cache.spans[i])
                ? cache.contents->readers[i]
                : std::make_shared<const nlohmann::json>(nlohmann::json::parse(piece)));
      }
    } else {
      auto whole = nlohmann::json::parse(text);
      if (auto readers = whole.find("readers");
          whole.is_object() && readers != whole.end() && readers->is_array()) {
        for (auto& entry : *readers) {
          contents->readers.push_back(std::make_shared<const nlohmann::json>(std::move(entry)));
        }
      }
    }
  } catch (const nlohmann::json::exception& error) {
    throw std::runtime_error(path.string() + ": " + error.what());
  }
  cache.spanned = scanned && spans.size() == contents->readers.size();
  if (!cache.spanned) spans.clear();
  cache.text = std::move(text);
  cache.spans = std::move(spans);
  cache.contents = std::move(contents);
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
std::shared_ptr<const ReadersFile::Contents> Current(ReadersFile::Cache& cache,
                                                     const std::filesystem::path& path) {
  if (cache.contents && cache.version.Unchanged(path)) return cache.contents;
  std::string text;
  FileVersion version;
  if (!FileVersion::Read(path, text, version)) return nullptr;
  if (!cache.contents || !version.SameAs(cache.version) || text != cache.text) {
    Take(cache, std::move(text), path);
  }
  cache.version = std::move(version);
  return cache.contents;
}

// Atomic replace of the file by `text`; under the exclusive lock and the cache's mutex. The
// caller brings the cache's contents up to date.
void Store(ReadersFile::Cache& cache, const std::filesystem::path& path, const std::string& text) {
  EnsureParentFolder(path);
  try {
    cache.version = FileVersion::Replace(path, text);
  } catch (...) {
    cache.contents.reset();  // read again next time
    throw;
  }
}

// `text` with each line after the first indented by `columns` more.
std::string Indented(const std::string& text, std::size_t columns) {
  std::string out;
  out.reserve(text.size() + columns * 64);
  for (const char c : text) {
    out += c;
    if (c == '\n') out.append(columns, ' ');
  }
  return out;
}

}  // namespace

std::filesystem::path ReadersFile::LockFileOf(const std::filesystem::path& data_path) {
  auto lock_path = data_path;
  lock_path += ".lock";
  return lock_path;
}

std::filesystem::path ReadersFile::DefaultPath() {
  if (const char* named = std::getenv("TARSIN_RF_VIRTUAL_READERS"); named && *named) return named;
  return UserDataFolder() / "Quillon" / "Nemora" / "virtual-readers.json";
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

std::shared_ptr<const nlohmann::json> ReadersFile::Contents::Find(const std::string& name) const {
  for (const auto& entry : readers) {
    if (!entry->is_object()) continue;
    if (auto found = entry->find("name"); found != entry->end() && *found == name) return entry;
  }
  return nullptr;
}

std::shared_ptr<const ReadersFile::Contents> ReadersFile::Snapshot() const {
  {
    std::lock_guard hold(cache_->mutex);
    if (auto current = Current(*cache_, path_)) return current;
  }
  EnsureParentFolder(path_);
  auto lock = LockFile(path_, true);
  std::lock_guard hold(cache_->mutex);
  if (auto current = Current(*cache_, path_)) return current;
  std::string text = DefaultContents().dump(2) + '\n';
  Store(*cache_, path_, text);
  Take(*cache_, std::move(text), path_);
  return cache_->contents;
}

bool ReadersFile::UpdateReader(const std::string& name,
                               const std::function<bool(nlohmann::json&)>& change) const {
  EnsureParentFolder(path_);
  auto lock = LockFile(path_, true);
  std::lock_guard hold(cache_->mutex);
  auto& cache = *cache_;
  if (!Current(cache, path_)) {
    std::string text = DefaultContents().dump(2) + '\n';
    Store(cache, path_, text);
    Take(cache, std::move(text), path_);
  }
  const auto& readers = cache.contents->readers;
  const auto found = std::find(readers.begin(), readers.end(), cache.contents->Find(name));
  if (found == readers.end()) return false;
  const auto index = static_cast<std::size_t>(found - readers.begin());
  nlohmann::json entry = **found;
  if (!change(entry)) return false;
  if (!cache.spanned) {
    // A file laid out otherwise is written whole.
    auto whole = nlohmann::json::parse(cache.text);
    whole["readers"][index] = std::move(entry);
    std::string text = whole.dump(2) + '\n';
    Store(cache, path_, text);
    Take(cache, std::move(text), path_);
    return true;
  }
  // Only this entry's text changes, written at the column where the old one began.
  const auto [begin, end] = cache.spans[index];
  const std::size_t line = cache.text.rfind('\n', begin);
  const std::string piece =
      Indented(entry.dump(2), line == std::string::npos ? begin : begin - line - 1);
  std::string text = cache.text.substr(0, begin) + piece + cache.text.substr(end);
  Store(cache, path_, text);
  auto contents = std::make_shared<Contents>(*cache.contents);
  contents->readers[index] = std::make_shared<const nlohmann::json>(std::move(entry));
  const std::ptrdiff_t shift =
      static_cast<std::ptrdiff_t>(piece.size()) - static_cast<std::ptrdiff_t>(end - begin);
  cache.spans[index].second = begin + piece.size();
  for (std::size_t i = index + 1; i < cache.spans.size(); ++i) {
    cache.spans[i].first =
        static_cast<std::size_t>(static_cast<std::ptrdiff_t>(cache.spans[i].first) + shift);
    cache.spans[i].second =
        static_cast<std::size_t>(static_cast<std::ptrdiff_t>(cache.spans[i].second) + shift);
  }
  cache.text = std::move(text);
  cache.contents = std::move(contents);
  return true;
}

void ReadersFile::Write(const nlohmann::json& contents) const {
  EnsureParentFolder(path_);
  auto lock = LockFile(path_, true);
  std::lock_guard hold(cache_->mutex);
  std::string text = contents.dump(2) + '\n';
  Store(*cache_, path_, text);
  cache_->contents.reset();  // taken whole
  Take(*cache_, std::move(text), path_);
}

}  // namespace tarsin::sim
