// Test support: a private log folder and the log lines read back with their timestamps masked.
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
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

// A fresh folder that XDG_DATA_HOME points at while the object lives; with `withLogFolder` it
// already holds the "Quillon/Nemora" folder the log goes to.
class LogFolder {
 public:
  explicit LogFolder(bool withLogFolder = true)
      : root_(MakeTemporaryFolder()), environment_("XDG_DATA_HOME", root_.string()) {
    if (withLogFolder) std::filesystem::create_directories(folder());
  }
  ~LogFolder() { std::filesystem::remove_all(root_); }

  std::filesystem::path root() const { return root_; }
  std::filesystem::path folder() const { return root_ / "Quillon" / "Nemora"; }
  std::filesystem::path file() const { return folder() / "Tarsin RF.log"; }

  std::string content() const {
    std::ifstream in(file(), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

  // Every line with its timestamp replaced by "TS"; fails the test on a line that does not start
  // with a timestamp or does not end with CRLF.
  std::vector<std::string> lines() const {
    static const std::regex kTimestamp(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})");
    std::vector<std::string> result;
    std::string text = content();
    EXPECT_TRUE(text.empty() || text.ends_with("\r\n"));
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
      std::string line = text.substr(start, end - start);
      EXPECT_TRUE(std::regex_search(line, kTimestamp)) << line;
      EXPECT_EQ(line.find('\n'), std::string::npos) << line;
      result.push_back("TS" + line.substr(std::min<size_t>(19, line.size())));
    }
    return result;
  }

 private:
  static std::filesystem::path MakeTemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarsin-log-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
  }

  std::filesystem::path root_;
  ScopedEnvironment environment_;
};

// A masked log line: "TS", three blanks, four per level, the message.
inline std::string Line(int level, const std::string& message) {
  return "TS" + std::string(3 + 4 * level, ' ') + message;
}

}  // namespace tarsin::testing
