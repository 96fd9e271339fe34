// Windows implementation of runtime/system/output_file.h.
#include <windows.h>

#include <string>

#include "runtime/system/output_file.h"
#include "runtime/system/system.h"
#include "runtime/system/windows_text.h"

namespace hostrt {

namespace {

std::string CauseOf(DWORD code) {
  switch (code) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "磁盘已满";
    case ERROR_ACCESS_DENIED:
      return "没有权限";
    case ERROR_WRITE_PROTECT:
      return "磁盘有写保护";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return "另一个程序正在使用这个文件";
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
      return "目录不存在";
    case ERROR_FILE_TOO_LARGE:
      return "文件超过了系统允许的大小";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return "文件已存在";
    default:
      break;
  }
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out = n > 0 ? detail::WideToUtf8(std::wstring_view(text, n)) : std::string();
  if (text != nullptr) LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) {
    out.pop_back();
  }
  return out.empty() ? "错误 " + std::to_string(code) : out;
}

}  // namespace

std::string LastSystemErrorCause() {
  return CauseOf(GetLastError());
}

struct OutputFile::Impl {
  std::string target;
  std::wstring native;
  std::wstring temp;
  HANDLE handle = INVALID_HANDLE_VALUE;
  bool failIfExists = false;
  std::string error;

  bool Fail(const std::string& what, DWORD code) {
    error = what + " " + target + "：" + CauseOf(code);
    return false;
  }
  void Drop() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
    if (!temp.empty()) DeleteFileW(temp.c_str());
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
  d.native = detail::Utf8ToWide(path);
  d.failIfExists = options.failIfExists;
  const DWORD attributes = GetFileAttributesW(d.native.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (options.failIfExists) return d.Fail("无法创建文件", ERROR_FILE_EXISTS);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      d.error = "无法写入文件 " + d.target + "：已有同名的目录";
      return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      d.error = "无法写入文件 " + d.target + "：文件是只读的";
      return false;
    }
  }
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::wstring candidate = d.native + L".tmp" + std::to_wstring(GetCurrentProcessId()) +
                                   L"_" + std::to_wstring(GetTickCount() + attempt);
    d.handle = CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (d.handle != INVALID_HANDLE_VALUE) {
      d.temp = candidate;
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  return d.Fail("无法创建文件", GetLastError());
}

bool OutputFile::Write(const void* data, std::size_t size) {
  Impl& d = *d_;
  if (d.handle == INVALID_HANDLE_VALUE) {
    if (d.error.empty()) d.error = "无法写入文件 " + d.target + "：文件没有打开";
    return false;
  }
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(d.handle, bytes, chunk, &written, nullptr)) {
      const DWORD code = GetLastError();
      d.Drop();
      return d.Fail("无法写入文件", code);
    }
    bytes += written;
    size -= written;
  }
  return true;
}

bool OutputFile::Commit() {
  Impl& d = *d_;
  if (d.handle == INVALID_HANDLE_VALUE) {
    if (d.error.empty()) d.error = "无法写入文件 " + d.target + "：文件没有打开";
    return false;
  }
  if (!FlushFileBuffers(d.handle)) {
    const DWORD code = GetLastError();
    d.Drop();
    return d.Fail("无法写入文件", code);
  }
  CloseHandle(d.handle);
  d.handle = INVALID_HANDLE_VALUE;
  // Without MOVEFILE_REPLACE_EXISTING the move fails if the target has appeared meanwhile.
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (d.failIfExists ? 0 : MOVEFILE_REPLACE_EXISTING);
  if (!MoveFileExW(d.temp.c_str(), d.native.c_str(), flags)) {
    const DWORD code = GetLastError();
    d.Drop();
    return d.Fail(d.failIfExists ? "无法创建文件" : "无法替换文件", code);
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
