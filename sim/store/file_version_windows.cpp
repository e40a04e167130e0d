// SPDX-License-Identifier: Apache-2.0
// Windows keeps no version: every look reads the file again, which is all the tests under Wine
// need. The file is opened so that a writer may move another file over it meanwhile.
#include <windows.h>

#include <stdexcept>

#include "store/file_version.h"
#include "store/user_files.h"

namespace tarsin::sim {

struct FileVersion::State {};

namespace {

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

bool FileVersion::Read(const std::filesystem::path& path, std::string& text, FileVersion&) {
  Handle file(CreateFileW(path.c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
    throw std::runtime_error("cannot read " + path.string());
  }
  text.clear();
  char buffer[16384];
  for (;;) {
    DWORD count = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &count, nullptr)) {
      throw std::runtime_error("cannot read " + path.string());
    }
    if (count == 0) return true;
    text.append(buffer, count);
  }
}

FileVersion FileVersion::Replace(const std::filesystem::path& path, const std::string& text) {
  auto temporary = path;
  temporary += ".tmp" + ProcessTag();
  {
    Handle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file.get() == INVALID_HANDLE_VALUE ||
        !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
      DeleteFileW(temporary.c_str());
      throw std::runtime_error("cannot write " + path.string());
    }
  }
  ReplaceAtomically(temporary, path);
  return {};
}

bool FileVersion::Unchanged(const std::filesystem::path&) const {
  return false;
}

bool FileVersion::SameAs(const FileVersion&) const {
  return false;
}

}  // namespace tarsin::sim
