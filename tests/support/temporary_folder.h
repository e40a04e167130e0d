// SPDX-License-Identifier: Apache-2.0
// A folder of a test's own, with nothing but the standard library, so that programs without
// GoogleTest (the fuzz targets) share it too.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace tarsin::testing {

// A new empty folder under the temporary directory, removed with its contents on destruction.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix = "tarsin") {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp " + pattern);
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace tarsin::testing
