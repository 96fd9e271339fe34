// The registry on Windows, through the wide-character registry API so that names and values with
// Chinese text survive whatever the system's ANSI code page is.
#include <windows.h>

#include <string>
#include <vector>

#include "runtime/settings/registry.h"
#include "runtime/settings/registry_key.h"
#include "runtime/system/windows_text.h"

namespace hostrt {

namespace {

using detail::Utf8ToWide;
using detail::WideToUtf8;

HKEY RootHandle(const std::string& root) {
  if (root == "HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
  if (root == "HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
  if (root == "HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
  if (root == "HKEY_USERS") return HKEY_USERS;
  return HKEY_CURRENT_CONFIG;
}

}  // namespace

std::string RegistryFilePath() {
  return {};
}

int RegistryGet(std::string_view key, std::string_view valueName, std::string& value) {
  RegistryKey parsed;
  if (!RegistryKey::Parse(key, parsed)) return -1;
  HKEY handle = nullptr;
  if (RegOpenKeyExW(RootHandle(parsed.root()), Utf8ToWide(parsed.path()).c_str(), 0,
                    KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) {
    return -1;
  }
  const std::wstring name = Utf8ToWide(valueName);
  DWORD type = 0;
  DWORD size = 0;
  LONG status = RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &size);
  std::vector<BYTE> data;
  // The value may grow between the two calls; ask again until it fits.
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    data.resize(size + sizeof(wchar_t));
    DWORD got = size;
    status = RegQueryValueExW(handle, name.c_str(), nullptr, &type, data.data(), &got);
    if (status == ERROR_SUCCESS) {
      size = got;
      break;
    }
    if (status == ERROR_MORE_DATA) size = got;
  }
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return -1;
  std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  value = WideToUtf8(text);
  return 1;
}

int RegistrySet(std::string_view key, std::string_view valueName, std::string_view value) {
  RegistryKey parsed;
  if (!RegistryKey::Parse(key, parsed) || value.find('\0') != std::string_view::npos ||
      valueName.find('\0') != std::string_view::npos) {
    return -1;
  }
  HKEY handle = nullptr;
  if (RegCreateKeyExW(RootHandle(parsed.root()), Utf8ToWide(parsed.path()).c_str(), 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &handle, nullptr) != ERROR_SUCCESS) {
    return -1;
  }
  const std::wstring text = Utf8ToWide(value);
  const LONG status = RegSetValueExW(handle, Utf8ToWide(valueName).c_str(), 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(text.c_str()),
                                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return status == ERROR_SUCCESS ? 1 : -1;
}

}  // namespace hostrt
