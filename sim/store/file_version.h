// SPDX-License-Identifier: Apache-2.0
// A version of a file as this process last read or wrote it, and whether the file is surely
// still that version without reading it again. Writers replace the file whole (a temporary file
// moved over it), so a reader never sees one half written.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace tarsin::sim {

class FileVersion {
 public:
  // Reads the whole file; false when there is none. Throws std::runtime_error when it cannot be
  // read.
  static bool Read(const std::filesystem::path& path, std::string& text, FileVersion& version);
  // Replaces the file by `text` in one step. Throws std::runtime_error.
  static FileVersion Replace(const std::filesystem::path& path, const std::string& text);

  // True when `path` is surely still this version, so that it need not be read again; false
  // when unsure (a platform that cannot tell always reads again).
  bool Unchanged(const std::filesystem::path& path) const;
  // True when both are surely the same version of the same file.
  bool SameAs(const FileVersion& other) const;

  struct State;

 private:
  std::shared_ptr<const State> state_;
};

}  // namespace tarsin::sim
