// Windows implementation of runtime/system/system.h over the wide-character API, so that paths
// with any characters work whatever the system's ANSI code page is.
#include <windows.h>

#include <string>
#include <vector>

#include "runtime/system/output_file.h"
#include "runtime/system/system.h"
#include "runtime/system/windows_text.h"

namespace hostrt {

namespace {

using detail::Utf8ToWide;
using detail::WideToUtf8;

std::string ModuleFileName(HMODULE module) {
  std::vector<wchar_t> buffer(MAX_PATH);
  while (true) {
    const DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return WideToUtf8(std::wstring_view(buffer.data(), n));
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

std::string NativePath(std::string_view path) {
  return std::string(path);
}

std::string ComputerName() {
  wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(buffer, &size)) return {};
  return WideToUtf8(std::wstring_view(buffer, size));
}

std::string CurrentDirectory() {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return {};
  std::wstring buffer(needed, L'\0');
  const DWORD n = GetCurrentDirectoryW(needed, buffer.data());
  if (n == 0 || n >= needed) return {};
  buffer.resize(n);
  return WideToUtf8(buffer);
}

bool SetCurrentDirectory(std::string_view path) {
  return !path.empty() && SetCurrentDirectoryW(Utf8ToWide(path).c_str()) != 0;
}

std::string ProgramPath() {
  return ModuleFileName(nullptr);
}

std::string ModulePath(const void* address) {
  HMODULE module = nullptr;
  if (address == nullptr || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                                    GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                                static_cast<LPCWSTR>(address), &module)) {
    return {};
  }
  return ModuleFileName(module);
}

bool FileExists(std::string_view path) {
  return !path.empty() && GetFileAttributesW(Utf8ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool DirectoryExists(std::string_view path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(Utf8ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CopyFile(std::string_view from, std::string_view to, bool failIfExists) {
  if (from.empty() || to.empty()) return false;
  const HANDLE in = CreateFileW(Utf8ToWide(from).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (in == INVALID_HANDLE_VALUE) return false;
  // The copy is written beside the target and renamed over it, so the target is never cut; a
  // read-only target is not replaced.
  OutputFile::Options options;
  options.failIfExists = failIfExists;
  OutputFile out;
  bool copied = out.Open(to, options);
  std::vector<char> buffer(1 << 16);
  while (copied) {
    DWORD n = 0;
    if (!ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) {
      copied = false;
    } else if (n == 0) {
      break;
    } else {
      copied = out.Write(buffer.data(), n);
    }
  }
  CloseHandle(in);
  return copied && out.Commit();
}

bool DeleteFile(std::string_view path) {
  return !path.empty() && DeleteFileW(Utf8ToWide(path).c_str()) != 0;
}

bool SetFileAttributes(std::string_view path, std::uint32_t attributes) {
  return !path.empty() && SetFileAttributesW(Utf8ToWide(path).c_str(), attributes) != 0;
}

bool CreateTempFile(std::string_view prefix, std::string& path) {
  wchar_t directory[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, directory);
  if (n == 0 || n > MAX_PATH) return false;
  const std::wstring base = std::wstring(directory, n) + Utf8ToWide(prefix);
  // The user's temp directory is private to the user; CREATE_NEW makes the name ours alone.
  const DWORD start = GetTickCount() ^ (GetCurrentProcessId() << 16);
  for (DWORD attempt = 0; attempt < 1000; ++attempt) {
    wchar_t suffix[16];
    wsprintfW(suffix, L"%08lx.tmp", static_cast<unsigned long>(start + attempt * 7919u));
    const std::wstring candidate = base + suffix;
    const HANDLE file = CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      path = WideToUtf8(candidate);
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  return false;
}

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

namespace {

volatile LONG g_interrupted = 0;

BOOL WINAPI NoteInterrupt(DWORD /*event*/) {
  // The first one is noted; the next one goes to the default handler, which ends the process.
  return InterlockedExchange(&g_interrupted, 1) == 0 ? TRUE : FALSE;
}

}  // namespace

void CatchInterrupts() {
  InterlockedExchange(&g_interrupted, 0);
  SetConsoleCtrlHandler(NoteInterrupt, TRUE);
}

bool InterruptRequested() {
  return InterlockedCompareExchange(&g_interrupted, 0, 0) != 0;
}

}  // namespace hostrt
