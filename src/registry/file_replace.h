// SPDX-License-Identifier: Apache-2.0
// The platform's side of writing a whole file: the new content goes to a temporary file beside
// the target, which replaces the target only once it is complete on disk.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace tarsin::registry {

// Replaces the file at `path` (or the file a symbolic link there points to) with `content`. On
// failure (a full disk, no right to write the folder) the old file stays as it was and no
// temporary file is left. A replaced file keeps its permission bits; a new one gets those of
// the process's umask. A target that is not a regular file (a device, a pipe) is written as
// it is. Never throws.
std::error_code ReplaceFileContent(const std::string& path, std::string_view content) noexcept;

}  // namespace tarsin::registry
