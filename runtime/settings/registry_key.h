// hostrt::RegistryKey: a registry key name split into its root and its path below the root,
// with the root spelled in full ("HKLM" -> "HKEY_LOCAL_MACHINE") and the path's empty parts
// (doubled or trailing backslashes) removed. Parse fails for an unknown root.
#pragma once

#include <string>
#include <string_view>

namespace hostrt {

class RegistryKey {
 public:
  static bool Parse(std::string_view text, RegistryKey& key);

  const std::string& root() const { return root_; }  // e.g. "HKEY_LOCAL_MACHINE"
  const std::string& path() const { return path_; }  // e.g. "SOFTWARE\qdzt\setup" or ""
  // Root and path joined: "HKEY_LOCAL_MACHINE\SOFTWARE\qdzt\setup".
  std::string FullName() const;
  // True when both name the same key, ignoring ASCII case.
  bool SameKey(const RegistryKey& other) const;

 private:
  std::string root_;
  std::string path_;
};

}  // namespace hostrt
