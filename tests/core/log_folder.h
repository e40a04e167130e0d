// Test support: a private log folder, and its lines read back with the timestamps masked.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace tarsin::testing {

// Sets an environment variable (or removes it) for the lifetime of the object.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
  }
  ~ScopedEnvironment() { saved_ ? ::setenv(name_, saved_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

// A fresh folder for XDG_DATA_HOME while the object lives, holding "Quillon/Nemora" unless told.
// The registry goes there too, so that no test reads the machine's card-type table.
class LogFolder {
 public:
  explicit LogFolder(bool withLogFolder = true)
      : root_(MakeFolder()),
        env_("XDG_DATA_HOME", root_),
        registry_("TARSIN_RF_REGISTRY_DIR", root_) {
    if (withLogFolder) std::filesystem::create_directories(folder());
  }
  ~LogFolder() { std::filesystem::remove_all(root_); }

  std::filesystem::path root() const { return root_; }
  std::filesystem::path folder() const { return root() / "Quillon" / "Nemora"; }
  std::filesystem::path file() const { return folder() / "Tarsin RF.log"; }

  std::string content() const {
    std::ostringstream out;
    out << std::ifstream(file(), std::ios::binary).rdbuf();
    return out.str();
  }

  // The lines with their timestamps replaced by "TS"; each must start with a timestamp and end
  // with CRLF.
  std::vector<std::string> lines() const {
    static const std::regex kTimestamp(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})");
    const std::string text = content();
    EXPECT_TRUE(text.empty() || text.ends_with("\r\n"));
    std::vector<std::string> result;
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
      const std::string line = text.substr(start, end - start);
      EXPECT_TRUE(std::regex_search(line, kTimestamp) && line.find('\n') == std::string::npos)
          << line;
      result.push_back("TS" + line.substr(std::min<size_t>(19, line.size())));
    }
    return result;
  }

 private:
  static std::string MakeFolder() {
    std::string name = (std::filesystem::temp_directory_path() / "tarsin-log-XXXXXX").string();
    if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return name;
  }

  std::string root_;
  ScopedEnvironment env_;
  ScopedEnvironment registry_;
};

// A masked log line: "TS", three blanks, four per level, the message.
inline std::string Line(int level, const std::string& message) {
  return "TS" + std::string(3 + 4 * level, ' ') + message;
}

}  // namespace tarsin::testing
