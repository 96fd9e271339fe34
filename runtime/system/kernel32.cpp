#include "runtime/system/kernel32.h"

#include "runtime/system/system.h"
#include "runtime/text/builtins.h"
#include "runtime/text/gbk.h"

namespace hostrt::kernel32 {

bool GetCurrentDirectoryA(std::int32_t bufferLength, std::string& lppathname) {
  const std::string directory = CurrentDirectory();
  if (directory.empty() || bufferLength <= 0) return false;
  if (GbkByteLength(directory) + 1 > static_cast<std::size_t>(bufferLength)) return false;
  lppathname = directory;
  return true;
}

std::int32_t GetComputerNameA(std::string& computername, std::uint32_t& bufferlength) {
  const std::string name = ComputerName();
  if (name.empty()) return 0;
  const std::size_t length = GbkByteLength(name);
  if (length + 1 > bufferlength) {
    bufferlength = static_cast<std::uint32_t>(length + 1);
    return 0;
  }
  computername = name;
  bufferlength = static_cast<std::uint32_t>(length);
  return 1;
}

bool CopyFileA(std::string& lpexistingfilename, std::string& lpnewfilename, bool bfailifexists) {
  return CopyFile(lpexistingfilename, lpnewfilename, bfailifexists);
}

bool DeleteFileA(std::string& lpexistingfilename) {
  return DeleteFile(lpexistingfilename);
}

bool SetFileAttributesA(std::string& lpfilename, std::uint32_t dwfileattributes) {
  return SetFileAttributes(lpfilename, dwfileattributes);
}

bool SetCurrentDirectoryA(std::string& lppathname) {
  return SetCurrentDirectory(lppathname);
}

std::uint32_t GetModuleFileNameA(std::int32_t hmodule, std::string& lpfilename,
                                 std::uint32_t nsize) {
  if (hmodule != 0 || nsize == 0) return 0;
  const std::string path = ProgramPath();
  if (path.empty()) return 0;
  const std::size_t length = GbkByteLength(path);
  if (length + 1 <= nsize) {
    lpfilename = path;
    return static_cast<std::uint32_t>(length);
  }
  lpfilename = Left(path, static_cast<std::int64_t>(nsize) - 1);
  return nsize;
}

}  // namespace hostrt::kernel32
