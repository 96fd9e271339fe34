// hostrt::IniFile: looks up values in the text of an INI file (already decoded to UTF-8) with the
// rules described in runtime/settings/profile.h. Pure text processing; nothing throws.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hostrt {

class IniFile {
 public:
  // The value of `key` in `section`, or nothing when the text has no such key.
  static std::optional<std::string> Find(std::string_view text, std::string_view section,
                                         std::string_view key);
};

}  // namespace hostrt
