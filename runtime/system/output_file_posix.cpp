// POSIX implementation of runtime/system/output_file.h.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE  // renameat2
#endif
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "runtime/system/output_file.h"
#include "runtime/system/system.h"

namespace hostrt {

namespace {

std::string CauseOf(int code) {
  switch (code) {
    case ENOSPC:
      return "磁盘已满";
#ifdef EDQUOT
    case EDQUOT:
      return "磁盘配额已用完";
#endif
    case EFBIG:
      return "文件超过了系统允许的大小";
    case EACCES:
    case EPERM:
      return "没有权限";
    case EROFS:
      return "文件系统是只读的";
    case ENOENT:
      return "目录不存在";
    case ENOTDIR:
      return "路径中有一部分不是目录";
    case EISDIR:
      return "已有同名的目录";
    case EIO:
      return "设备输入输出错误";
    case EEXIST:
      return "文件已存在";
    default:
      break;
  }
  const char* text = ::strerror(code);
  return text != nullptr ? text : "错误 " + std::to_string(code);
}

}  // namespace

std::string LastSystemErrorCause() {
  return CauseOf(errno);
}

namespace {

// The directory that holds `path` (a native path).
std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Six letters or digits, different on every call.
std::string RandomSuffix() {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937_64 generator{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  std::string suffix(6, ' ');
  for (char& c : suffix) c = kLetters[pick(generator)];
  return suffix;
}

// Renames `from` to `to` unless `to` exists; fails with EEXIST if it does. Where the file
// system cannot rename that way, a hard link does the same: it never replaces a file either.
int RenameNoReplace(const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
#endif
  if (::link(from, to) != 0) return -1;
  ::unlink(from);
  return 0;
}

// Makes a rename in `directory` durable. Some file systems cannot sync a directory; the
// rename has been done either way, so a failure here is not reported.
void SyncDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Starts writing what has been written since `flushed` to the disk, a few megabytes at a time,
// without waiting: the sync that Commit() makes then waits only for the last of it, instead of
// for the whole file at the end. Where the system has no such call, Commit() writes it all.
void StartWriteBack(int fd, std::uint64_t& flushed, std::uint64_t written) {
#ifdef SYNC_FILE_RANGE_WRITE
  constexpr std::uint64_t kStep = std::uint64_t{4} << 20;
  if (written - flushed < kStep) return;
  ::sync_file_range(fd, static_cast<off_t>(flushed), static_cast<off_t>(written - flushed),
                    SYNC_FILE_RANGE_WRITE);
  flushed = written;
#else
  (void)fd;
  (void)flushed;
  (void)written;
#endif
}

}  // namespace

struct OutputFile::Impl {
  std::string target;  // as given, for messages
  std::string native;  // the target's native path
  std::string temp;    // the temporary file, "" when none
  int fd = -1;
  bool failIfExists = false;
  std::uint64_t written = 0;  // bytes written so far
  std::uint64_t flushed = 0;  // bytes whose write-back has been started
  std::string error;

  bool Fail(const std::string& what, int code) {
    error = what + " " + target + "：" + CauseOf(code);
    return false;
  }
  void Drop() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    if (!temp.empty()) ::unlink(temp.c_str());
    temp.clear();
  }
};

OutputFile::OutputFile() : d_(std::make_unique<Impl>()) {}

OutputFile::~OutputFile() {
  d_->Drop();
}

bool OutputFile::Open(std::string_view path, const Options& options) {
  Impl& d = *d_;
  d.Drop();
  d.error.clear();
  d.target = std::string(path);
  d.native = NativePath(path);
  d.failIfExists = options.failIfExists;
  // A new file gets the bits asked for less the umask, as open() applies it.
  const mode_t newMode =
      options.newFileMode >= 0 ? static_cast<mode_t>(options.newFileMode) & 0777 : 0666;
  bool keepMode = false;
  mode_t mode = 0;
  struct stat info {};
  if (::stat(d.native.c_str(), &info) == 0) {
    if (options.failIfExists) return d.Fail("无法创建文件", EEXIST);
    if (S_ISDIR(info.st_mode)) return d.Fail("无法写入文件", EISDIR);
    if (!S_ISREG(info.st_mode)) {
      d.error = "无法写入文件 " + d.target + "：不是普通文件";
      return false;
    }
    if (!options.replaceReadOnly && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
      d.error = "无法写入文件 " + d.target + "：文件是只读的";
      return false;
    }
    keepMode = true;
    mode = info.st_mode & 0777;
  }
  // O_EXCL makes the name ours alone: nothing planted under it is ever written or renamed.
  for (int attempt = 0;; ++attempt) {
    std::string candidate = d.native + ".tmp" + RandomSuffix();
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          keepMode ? 0600 : newMode);
    if (fd >= 0) {
      d.fd = fd;
      d.temp = std::move(candidate);
      d.written = 0;
      d.flushed = 0;
      break;
    }
    if (errno != EEXIST || attempt == 100) return d.Fail("无法创建文件", errno);
  }
  if (keepMode && ::fchmod(d.fd, mode) != 0) {
    const int code = errno;
    d.Drop();
    return d.Fail("无法创建文件", code);
  }
  return true;
}

bool OutputFile::Write(const void* data, std::size_t size) {
  Impl& d = *d_;
  if (d.fd < 0) {
    if (d.error.empty()) d.error = "无法写入文件 " + d.target + "：文件没有打开";
    return false;
  }
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(d.fd, bytes, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int code = errno;
      d.Drop();
      return d.Fail("无法写入文件", code);
    }
    bytes += n;
    size -= static_cast<std::size_t>(n);
    d.written += static_cast<std::uint64_t>(n);
  }
  StartWriteBack(d.fd, d.flushed, d.written);
  return true;
}

bool OutputFile::Commit() {
  Impl& d = *d_;
  if (d.fd < 0) {
    if (d.error.empty()) d.error = "无法写入文件 " + d.target + "：文件没有打开";
    return false;
  }
  // A full disk often shows only when the data reach it.
  if (::fsync(d.fd) != 0 && errno != EINVAL) {
    const int code = errno;
    d.Drop();
    return d.Fail("无法写入文件", code);
  }
  if (::close(d.fd) != 0) {
    const int code = errno;
    d.fd = -1;
    d.Drop();
    return d.Fail("无法写入文件", code);
  }
  d.fd = -1;
  const int renamed = d.failIfExists ? RenameNoReplace(d.temp.c_str(), d.native.c_str())
                                     : ::rename(d.temp.c_str(), d.native.c_str());
  if (renamed != 0) {
    const int code = errno;
    d.Drop();
    return d.Fail(d.failIfExists ? "无法创建文件" : "无法替换文件", code);
  }
  d.temp.clear();
  SyncDirectory(DirectoryOf(d.native));
  return true;
}

void OutputFile::Abandon() {
  d_->Drop();
}

const std::string& OutputFile::Error() const {
  return d_->error;
}

}  // namespace hostrt
