#include "store/readers_file.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "store/file_lock.h"
#include "store/user_files.h"

namespace tarsin::sim {

namespace {

// Byte 0 of the lock file: the data file itself is replaced by rename, so it cannot carry the
// lock. The other bytes belong to the readers' sharing (sim/provider/sessions.h).
FileLock LockFile(const std::filesystem::path& data_path, bool exclusive) {
  return FileLock::Wait(ReadersFile::LockFileOf(data_path), 0, exclusive);
}

void EnsureParentFolder(const std::filesystem::path& path) {
  std::error_code ignored;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
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

nlohmann::json ReadersFile::ReadLocked() const {
  std::ifstream in(path_);
  if (!in) throw std::runtime_error("cannot read " + path_.string());
  std::stringstream text;
  text << in.rdbuf();
  try {
    return nlohmann::json::parse(text.str());
  } catch (const nlohmann::json::exception& error) {
    throw std::runtime_error(path_.string() + ": " + error.what());
  }
}

void ReadersFile::WriteLocked(const nlohmann::json& contents) const {
  EnsureParentFolder(path_);
  auto temporary = path_;
  temporary += ".tmp" + ProcessTag();
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << contents.dump(2) << '\n';
    out.flush();
    if (!out) throw std::runtime_error("cannot write " + temporary.string());
  }
  ReplaceAtomically(temporary, path_);
}

nlohmann::json ReadersFile::Read() const {
  EnsureParentFolder(path_);
  {
    auto lock = LockFile(path_, false);
    if (std::filesystem::exists(path_)) return ReadLocked();
  }
  auto lock = LockFile(path_, true);
  if (!std::filesystem::exists(path_)) WriteLocked(DefaultContents());
  return ReadLocked();
}

void ReadersFile::Update(const std::function<bool(nlohmann::json&)>& change) const {
  EnsureParentFolder(path_);
  auto lock = LockFile(path_, true);
  auto contents = std::filesystem::exists(path_) ? ReadLocked() : DefaultContents();
  if (change(contents)) WriteLocked(contents);
}

void ReadersFile::Write(const nlohmann::json& contents) const {
  EnsureParentFolder(path_);
  auto lock = LockFile(path_, true);
  WriteLocked(contents);
}

}  // namespace tarsin::sim
