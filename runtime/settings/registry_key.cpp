#include "runtime/settings/registry_key.h"
#include "runtime/text/ascii.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace hostrt {

namespace {

struct RootName {
  const char* full;
  const char* shortName;
};

constexpr RootName kRoots[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM"}, {"HKEY_CURRENT_USER", "HKCU"},   {"HKEY_CLASSES_ROOT", "HKCR"},
    {"HKEY_USERS", "HKU"},          {"HKEY_CURRENT_CONFIG", "HKCC"},
};

}  // namespace

bool RegistryKey::Parse(std::string_view text, RegistryKey& key) {
  std::vector<std::string_view> parts;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find('\\', pos);
    if (end == std::string_view::npos) end = text.size();
    if (end > pos) parts.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  if (parts.empty()) return false;
  const auto root = std::find_if(std::begin(kRoots), std::end(kRoots), [&](const RootName& r) {
    return EqualsIgnoreAsciiCase(parts.front(), r.full) ||
           EqualsIgnoreAsciiCase(parts.front(), r.shortName);
  });
  if (root == std::end(kRoots)) return false;
  key.root_ = root->full;
  key.path_.clear();
  for (std::size_t i = 1; i < parts.size(); ++i) {
    if (i > 1) key.path_ += '\\';
    key.path_ += parts[i];
  }
  return true;
}

std::string RegistryKey::FullName() const {
  return path_.empty() ? root_ : root_ + "\\" + path_;
}

bool RegistryKey::SameKey(const RegistryKey& other) const {
  return root_ == other.root_ && EqualsIgnoreAsciiCase(path_, other.path_);
}

}  // namespace hostrt
