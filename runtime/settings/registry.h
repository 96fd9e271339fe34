// RegistryGet / RegistrySet: string values of the system registry. All strings are UTF-8.
// Keys are written "HKEY_LOCAL_MACHINE\SOFTWARE\..." or with the short root names (HKLM, HKCU,
// HKCR, HKU, HKCC); names are compared without regard to ASCII case, and a trailing or doubled
// backslash is allowed ("...\setup\" is the key "...\setup").
//
// On Windows these are the real registry. Elsewhere the registry is a text file in the syntax of
// registry export files ("Windows Registry Editor Version 5.00", then "[HKEY_...\key]" sections
// and "name"="value" lines with \\ and \" escapes; \n and \r stand for line breaks), whose path
// is the environment variable HOSTRT_REGISTRY or, without it, $XDG_CONFIG_HOME/hostrt/registry.reg
// (~/.config/hostrt/registry.reg). The file is UTF-8 (UTF-16 with a byte-order mark and GBK
// files are read too, and written back as UTF-8). A missing file is an empty registry. When the
// file names a value twice, the later line wins, as when such a file is imported. Writes replace
// the file in one step (a crash leaves the old or the new file, never a mix), keep every other line
// as it was, and writers in one process take turns.
#pragma once

#include <string>
#include <string_view>

namespace hostrt {

// Reads a string value into `value`. Returns 1 on success; -1 when the key or value does not
// exist, is not a string, or cannot be read, and then `value` is left exactly as it was.
int RegistryGet(std::string_view key, std::string_view valueName, std::string& value);

// Writes a string value, creating the key when needed. Returns 1 on success, -1 on failure (an
// unknown root, a value containing a zero character, a file that cannot be read or written).
int RegistrySet(std::string_view key, std::string_view valueName, std::string_view value);

// The registry file used off Windows ("" on Windows).
std::string RegistryFilePath();

}  // namespace hostrt
