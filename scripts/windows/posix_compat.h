// The few POSIX calls the runtime's tests make themselves (environment variables, scratch
// directories), in their Windows form. Included ahead of every test source of the Windows build
// (scripts/windows/CMakeLists.txt); the runtime itself uses only its own services.
#pragma once

#ifdef _WIN32
#include <direct.h>
#include <process.h>
#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name) != nullptr) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) {
  return _putenv_s(name, "") == 0 ? 0 : -1;
}

// Replaces the trailing "XXXXXX" of `pattern` and creates that directory.
inline char* mkdtemp(char* pattern) {
  const std::size_t length = std::strlen(pattern);
  if (length < 6 || std::strcmp(pattern + length - 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return nullptr;
  }
  static unsigned counter = 0;
  char* tail = pattern + length - 6;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const unsigned value = (static_cast<unsigned>(_getpid()) * 7919u + counter++) & 0xFFFFFFu;
    char digits[7];
    std::snprintf(digits, sizeof digits, "%06x", value);
    std::memcpy(tail, digits, 6);
    if (_mkdir(pattern) == 0) return pattern;
    if (errno != EEXIST) return nullptr;
  }
  errno = EEXIST;
  return nullptr;
}
#endif
