#include "runtime/settings/profile.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "runtime/system/system.h"

#ifdef _WIN32
#include <windows.h>

#include "runtime/text/gbk.h"
#else
#include "runtime/settings/ini_file.h"
#include "runtime/settings/text_file.h"
#endif

namespace hostrt {

namespace {

std::filesystem::path PathFromUtf8(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

bool IsFile(const std::string& path) {
  return FileExists(path) && !DirectoryExists(path);
}

}  // namespace

std::string ProfilePath(std::string_view file) {
  if (file.empty()) return {};
  if (file.find_first_of("/\\") != std::string_view::npos) {
    const std::string path = NativePath(file);
    return IsFile(path) ? path : std::string();
  }
  std::vector<std::filesystem::path> directories;
  if (const std::string current = CurrentDirectory(); !current.empty()) {
    directories.push_back(PathFromUtf8(current));
  }
  if (const std::string program = ProgramPath(); !program.empty()) {
    directories.push_back(PathFromUtf8(program).parent_path());
  }
  for (const auto& directory : directories) {
    const std::string path = Utf8FromPath(directory / PathFromUtf8(file));
    if (IsFile(path)) return path;
  }
  return {};
}

#ifdef _WIN32

std::string ProfileString(std::string_view file, std::string_view section, std::string_view key,
                          std::string_view defaultValue) {
  const std::string path = ProfilePath(file);
  if (path.empty() || key.empty()) return std::string(defaultValue);
  // A marker that no file holds tells a missing key from a value equal to the default.
  static constexpr char kMissing[] = "\x01hostrt-missing\x01";
  const std::string gbkSection = Utf8ToGbk(section);
  const std::string gbkKey = Utf8ToGbk(key);
  const std::string gbkPath = Utf8ToGbk(path);
  std::vector<char> buffer(1024);
  while (true) {
    const DWORD n =
        GetPrivateProfileStringA(gbkSection.c_str(), gbkKey.c_str(), kMissing, buffer.data(),
                                 static_cast<DWORD>(buffer.size()), gbkPath.c_str());
    if (n + 1 < buffer.size() || buffer.size() >= (1u << 20)) {
      const std::string value(buffer.data(), n);
      return value == kMissing ? std::string(defaultValue) : GbkToUtf8(value);
    }
    buffer.resize(buffer.size() * 4);
  }
}

#else

std::string ProfileString(std::string_view file, std::string_view section, std::string_view key,
                          std::string_view defaultValue) {
  const std::string path = ProfilePath(file);
  if (path.empty()) return std::string(defaultValue);
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::string(defaultValue);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::string(defaultValue);
  const std::optional<std::string> value =
      IniFile::Find(TextFile::Decode(bytes, TextFile::Fallback::kGbk), section, key);
  return value ? *value : std::string(defaultValue);
}

#endif

}  // namespace hostrt
