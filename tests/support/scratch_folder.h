// SPDX-License-Identifier: Apache-2.0
// Scratch space for a test: environment variables set while an object lives, the component's log
// folder and the virtual readers' file, in fresh folders. Header-only and with nothing of ours, so
// that the tests of every folder can build their fixtures on it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/temporary_folder.h"

namespace tarsin::testing {

// The whole file, as bytes ("" when it cannot be read).
inline std::string FileContent(const std::filesystem::path& path) {
  std::ostringstream out;
  out << std::ifstream(path, std::ios::binary).rdbuf();
  return out.str();
}

// Sets an environment variable (std::nullopt removes it) until destruction puts back the old one.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::string name, const std::optional<std::string>& value)
      : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) saved_ = old;
    Set(value);
  }
  ~ScopedEnvironment() { Set(saved_); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  void Set(const std::optional<std::string>& value) const {
    value ? ::setenv(name_.c_str(), value->c_str(), 1) : ::unsetenv(name_.c_str());
  }

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

// A fresh folder for XDG_DATA_HOME while the object lives, holding "Quillon/Nemora" unless told.
// The registry goes there too, so that no test reads the machine's card-type table.
class LogFolder {
 public:
  explicit LogFolder(bool withLogFolder = true) {
    if (withLogFolder) std::filesystem::create_directories(folder());
  }

  const std::filesystem::path& root() const { return root_.path(); }
  std::filesystem::path folder() const { return root_ / "Quillon" / "Nemora"; }
  std::filesystem::path file() const { return folder() / "Tarsin RF.log"; }

  std::string content() const { return FileContent(file()); }

  // The lines from `first` on, their timestamps replaced by "T"; each must start with a timestamp
  // and end with CRLF.
  std::vector<std::string> lines(size_t first = 0) const {
    static const std::regex kTimestamp(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})");
    const std::string text = content();
    EXPECT_TRUE(text.empty() || text.ends_with("\r\n"));
    std::vector<std::string> result;
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
      const std::string line = text.substr(start, end - start);
      EXPECT_TRUE(std::regex_search(line, kTimestamp) && line.find('\n') == std::string::npos)
          << line;
      result.push_back("T" + line.substr(std::min<size_t>(19, line.size())));
    }
    result.erase(result.begin(), result.begin() + std::min(first, result.size()));
    return result;
  }

 private:
  ScratchFolder root_{"tarsin-log"};
  ScopedEnvironment data_{"XDG_DATA_HOME", root_.path().string()};
  ScopedEnvironment registry_{"TARSIN_RF_REGISTRY_DIR", root_.path().string()};
};

// A masked log line: "T", three blanks, four per level, the message.
inline std::string Line(int level, const std::string& message) {
  return "T" + std::string(3 + 4 * level, ' ') + message;
}

// One entry of the readers file; `card` is a card's JSON, or null for an empty reader.
inline nlohmann::json Reader(const std::string& name, nlohmann::json card) {
  return {{"name", name},
          {"vendor", "Tarsin"},
          {"ifdType", "Test reader"},
          {"ifdVersion", "2.1.300"},
          {"serial", "SN-42"},
          {"card", std::move(card)}};
}

// A blank MIFARE Classic 1K with transport keys.
inline nlohmann::json Classic1K(const std::string& uid = "04A1B2C3") {
  return {{"type", "mifare-classic-1k"}, {"uid", uid}};
}

// The virtual readers' file "readers.json" in `folder`, named by TARSIN_RF_VIRTUAL_READERS while
// the object lives. The file is not written until Write().
class ReadersFile {
 public:
  explicit ReadersFile(const std::filesystem::path& folder)
      : path_(folder / "readers.json"), environment_("TARSIN_RF_VIRTUAL_READERS", path_.string()) {}

  const std::filesystem::path& path() const { return path_; }
  void Write(const nlohmann::json& contents) const { std::ofstream(path_) << contents.dump(2); }
  void WriteReaders(const std::vector<nlohmann::json>& readers) const {
    Write({{"readers", readers}});
  }
  nlohmann::json Read() const { return nlohmann::json::parse(FileContent(path_)); }

 private:
  std::filesystem::path path_;
  ScopedEnvironment environment_;
};

// A test with a scratch folder and a readers file in it (written by the test).
class ScratchReadersTest : public ::testing::Test {
 protected:
  ScratchFolder folder_{"tarsin-sim"};
  ReadersFile readers_{folder_.path()};
};

}  // namespace tarsin::testing
