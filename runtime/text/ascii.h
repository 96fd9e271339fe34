// Comparisons of names and keywords that ignore the case of ASCII letters only (registry
// names, connection keywords, server names). Other bytes compare exactly.
#pragma once

#include <algorithm>
#include <cctype>
#include <string_view>

namespace hostrt {

inline bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace hostrt
