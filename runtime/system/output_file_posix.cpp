// POSIX implementation of runtime/system/output_file.h.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
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

struct OutputFile::Impl {
  std::string target;  // as given, for messages
  std::string native;  // the target's native path
  std::string temp;    // the temporary file, "" when none
  int fd = -1;
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

bool OutputFile::Open(std::string_view path) {
  Impl& d = *d_;
  d.Drop();
  d.error.clear();
  d.target = std::string(path);
  d.native = NativePath(path);
  struct stat info {};
  if (::stat(d.native.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return d.Fail("无法写入文件", EISDIR);
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
      d.error = "无法写入文件 " + d.target + "：文件是只读的";
      return false;
    }
  }
  std::string pattern = d.native + ".tmpXXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return d.Fail("无法创建文件", errno);
  d.fd = fd;
  d.temp = pattern;
  // mkstemp makes the file private; give it the permissions a new file would get.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
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
  }
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
  if (::rename(d.temp.c_str(), d.native.c_str()) != 0) {
    const int code = errno;
    d.Drop();
    return d.Fail("无法替换文件", code);
  }
  d.temp.clear();
  return true;
}

void OutputFile::Abandon() {
  d_->Drop();
}

const std::string& OutputFile::Error() const {
  return d_->error;
}

}  // namespace hostrt
