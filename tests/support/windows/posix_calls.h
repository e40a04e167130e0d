// SPDX-License-Identifier: Apache-2.0
// The POSIX calls of the shared test support, from Windows' C runtime: forced into the Windows
// test programs (-include), so that the support stays one set of headers for both platforms.
#pragma once

#include <direct.h>
#include <stdlib.h>
#include <string.h>

inline int setenv(const char* name, const char* value, int overwrite) {
  return !overwrite && getenv(name) ? 0 : _putenv_s(name, value);
}
// An empty value removes the variable.
inline int unsetenv(const char* name) {
  return _putenv_s(name, "");
}
inline char* mkdtemp(char* pattern) {
  return _mktemp_s(pattern, strlen(pattern) + 1) == 0 && _mkdir(pattern) == 0 ? pattern : nullptr;
}
