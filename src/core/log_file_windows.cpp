// SPDX-License-Identifier: Apache-2.0
// The log's folder is the user's roaming application data (CSIDL_APPDATA), else "c:\". The file
// is written in the system's ANSI code page, as Windows tools read a text file.
#include <windows.h>
// windows.h first: shlobj.h needs its types.
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "core/ansi_code_page.h"
#include "core/log_file.h"

namespace tarsin {

std::string LogFolder() {
  // The folder as an ANSI path: the file is opened through the ANSI entry point with it.
  char buffer[1024] = {};
  if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK ||
      std::memchr(buffer, '\0', sizeof buffer) == nullptr || buffer[0] == '\0') {
    return "c:\\";
  }
  std::string folder = buffer;
  if (folder.back() != '\\') folder += '\\';
  return folder + "Quillon\\Nemora\\";
}

std::string_view LocalTimestamp() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  thread_local char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond);
  return text;
}

void AppendLogLine(LogState& log, std::string_view line) noexcept {
  try {
    // Others may read and append while the file is open; nobody may delete it under us.
    HANDLE file =
        CreateFileA(log.path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;  // e.g. the folder does not exist
    std::string joined;
    if (log.lineCut) line = joined.append("\r\n").append(line);
    const std::vector<uint8_t> bytes = Utf8ToAnsi(line);
    // One write per line keeps the lines of concurrent writers whole (FILE_APPEND_DATA).
    DWORD written = 0;
    const BOOL done =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (done && written == bytes.size()) {
      log.lineCut = false;
    } else if (written > 0) {
      log.lineCut = true;
    }
    CloseHandle(file);
  } catch (...) {
    // A line that cannot be converted is lost like one that cannot be written.
  }
}

}  // namespace tarsin
