// The POSIX calls the shared test support makes, from Windows' C runtime. Forced into the Windows
// test programs (-include), so that the support stays one set of headers for both platforms.
#pragma once

#include <direct.h>
#include <stdlib.h>
#include <string.h>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name)) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

// An empty value removes the variable on Windows.
inline int unsetenv(const char* name) {
  return _putenv_s(name, "") == 0 ? 0 : -1;
}

inline char* mkdtemp(char* pattern) {
  if (_mktemp_s(pattern, strlen(pattern) + 1) != 0) return nullptr;
  return _mkdir(pattern) == 0 ? pattern : nullptr;
}
