// POSIX implementation of runtime/system/system.h.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <link.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/system/output_file.h"
#include "runtime/system/system.h"
#include "runtime/text/ascii.h"

namespace hostrt {

namespace {

bool StatPath(const std::string& path, struct stat& info) {
  return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

bool CopyContents(int from, OutputFile& to) {
  std::vector<char> buffer(1 << 16);
  while (true) {
    const ssize_t n = ::read(from, buffer.data(), buffer.size());
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!to.Write(buffer.data(), static_cast<std::size_t>(n))) return false;
  }
}

}  // namespace

std::string NativePath(std::string_view path) {
  std::string out(path);
  std::replace(out.begin(), out.end(), '\\', '/');
  return out;
}

std::string ComputerName() {
  struct utsname names {};
  if (::uname(&names) != 0) return {};
  std::string name = ToUpperAscii(
      std::string_view(names.nodename).substr(0, std::string_view(names.nodename).find('.')));
  if (name.size() > 15) name.resize(15);
  return name;
}

std::string CurrentDirectory() {
  std::vector<char> buffer(PATH_MAX);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

bool SetCurrentDirectory(std::string_view path) {
  const std::string native = NativePath(path);
  return !native.empty() && ::chdir(native.c_str()) == 0;
}

std::string ProgramPath() {
  std::vector<char> buffer(PATH_MAX);
  while (true) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

std::string ModulePath(const void* address) {
  Dl_info info{};
  struct link_map* map = nullptr;
  if (address == nullptr ||
      ::dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) {
    return {};
  }
  // The main program has an empty name in the link map.
  if (map == nullptr || map->l_name == nullptr || map->l_name[0] == '\0') return ProgramPath();
  char* resolved = ::realpath(map->l_name, nullptr);
  if (resolved == nullptr) return map->l_name;
  std::string path = resolved;
  std::free(resolved);
  return path;
}

bool FileExists(std::string_view path) {
  struct stat info {};
  return StatPath(NativePath(path), info);
}

bool DirectoryExists(std::string_view path) {
  struct stat info {};
  return StatPath(NativePath(path), info) && S_ISDIR(info.st_mode);
}

bool CopyFile(std::string_view from, std::string_view to, bool failIfExists) {
  const std::string source = NativePath(from);
  if (source.empty() || to.empty()) return false;
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat sourceInfo {};
  if (::fstat(in, &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode)) {
    ::close(in);
    return false;
  }
  // A read-only target is not replaced, as on Windows; a writable one keeps its permissions
  // and a new one takes the source's.
  OutputFile::Options options;
  options.failIfExists = failIfExists;
  options.newFileMode = static_cast<int>(sourceInfo.st_mode & 0777);
  OutputFile out;
  const bool copied = out.Open(to, options) && CopyContents(in, out) && out.Commit();
  ::close(in);
  return copied;
}

bool DeleteFile(std::string_view path) {
  const std::string native = NativePath(path);
  struct stat info {};
  if (native.empty() || ::lstat(native.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
  if (S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR) == 0) return false;
  return ::unlink(native.c_str()) == 0;
}

bool SetFileAttributes(std::string_view path, std::uint32_t attributes) {
  const std::string native = NativePath(path);
  struct stat info {};
  if (!StatPath(native, info)) return false;
  mode_t mode = info.st_mode & 07777;
  if (attributes & kFileAttributeReadOnly) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  return mode == (info.st_mode & 07777) || ::chmod(native.c_str(), mode) == 0;
}

bool CreateTempFile(std::string_view prefix, std::string& path) {
  std::string directory = "/tmp";
  const char* env = std::getenv("TMPDIR");
  if (env != nullptr && *env != '\0' && DirectoryExists(env)) directory = env;
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  std::string name(prefix);
  std::replace(name.begin(), name.end(), '/', '_');
  std::replace(name.begin(), name.end(), '\\', '_');
  std::string candidate = directory;
  candidate.append("/").append(name).append("XXXXXX");
  // mkstemp creates the file with O_EXCL and permissions 0600.
  const int fd = ::mkstemp(candidate.data());
  if (fd < 0) return false;
  ::close(fd);
  path = candidate;
  return true;
}

bool StandardErrorIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

namespace {

volatile sig_atomic_t g_interrupted = 0;

extern "C" void NoteInterrupt(int) {
  g_interrupted = 1;
}

}  // namespace

void CatchInterrupts() {
  g_interrupted = 0;
  struct sigaction action {};
  action.sa_handler = NoteInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;  // the second interrupt is handled as usual
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool InterruptRequested() {
  return g_interrupted != 0;
}

}  // namespace hostrt
