// The registry off Windows: a registry export file (see runtime/settings/registry.h).
#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/settings/reg_file.h"
#include "runtime/settings/registry.h"
#include "runtime/settings/registry_key.h"
#include "runtime/settings/text_file.h"
#include "runtime/system/output_file.h"

namespace hostrt {

namespace {

enum class ReadResult { kRead, kMissing, kFailed };

std::mutex& WriterLock() {
  static std::mutex lock;
  return lock;
}

ReadResult ReadWholeFile(const std::string& path, std::string& bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return ReadResult::kFailed;
  }
  bytes.clear();
  char buffer[1 << 14];
  while (true) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return ReadResult::kFailed;
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return ReadResult::kRead;
}

// Replaces the file at `path` whole, creating its directory when needed. The file keeps its
// permission bits; since a rename needs only the directory's permission, a file without write
// permission is replaced as well and stays without it.
bool ReplaceFile(const std::string& path, const std::string& bytes) {
  const std::filesystem::path target(path);
  std::error_code error;
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), error);
  OutputFile::Options options;
  options.replaceReadOnly = true;
  OutputFile out;
  return out.Open(path, options) && out.Write(bytes) && out.Commit();
}

// The file to read and write: a symbolic link is followed so that the link stays in place.
std::string ResolvedRegistryPath() {
  std::string path = RegistryFilePath();
  if (path.empty()) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (real != nullptr) {
    path = real;
    std::free(real);
  }
  return path;
}

}  // namespace

std::string RegistryFilePath() {
  const char* explicitPath = std::getenv("HOSTRT_REGISTRY");
  if (explicitPath != nullptr && *explicitPath != '\0') return explicitPath;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/hostrt/registry.reg";
  const char* home = std::getenv("HOME");
  std::string homeDir = home != nullptr ? home : "";
  if (homeDir.empty()) {
    const struct passwd* entry = ::getpwuid(::getuid());
    if (entry != nullptr && entry->pw_dir != nullptr) homeDir = entry->pw_dir;
  }
  if (homeDir.empty()) return {};
  return homeDir + "/.config/hostrt/registry.reg";
}

int RegistryGet(std::string_view key, std::string_view valueName, std::string& value) {
  RegistryKey parsedKey;
  if (!RegistryKey::Parse(key, parsedKey)) return -1;
  const std::string path = ResolvedRegistryPath();
  std::string bytes;
  if (path.empty() || ReadWholeFile(path, bytes) != ReadResult::kRead) return -1;
  const RegFile file(TextFile::Decode(bytes, TextFile::Fallback::kUtf8AndGbk));
  std::string found;
  if (file.Get(parsedKey, valueName, found) != RegFile::Lookup::kFound) return -1;
  value = std::move(found);
  return 1;
}

int RegistrySet(std::string_view key, std::string_view valueName, std::string_view value) {
  RegistryKey parsedKey;
  if (!RegistryKey::Parse(key, parsedKey)) return -1;
  const std::string path = ResolvedRegistryPath();
  if (path.empty()) return -1;
  std::lock_guard guard(WriterLock());
  std::string bytes;
  // A file that exists but cannot be read is never overwritten: its content would be lost.
  if (ReadWholeFile(path, bytes) == ReadResult::kFailed) return -1;
  RegFile file(TextFile::Decode(bytes, TextFile::Fallback::kUtf8AndGbk));
  if (!file.Set(parsedKey, valueName, value)) return -1;
  return ReplaceFile(path, file.Text()) ? 1 : -1;
}

}  // namespace hostrt
