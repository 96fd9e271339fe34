#include "runtime/settings/ini_file.h"
#include "runtime/text/ascii.h"

#include <algorithm>
#include <cctype>

namespace hostrt {

namespace {

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

std::optional<std::string> IniFile::Find(std::string_view text, std::string_view section,
                                         std::string_view key) {
  section = TrimBlanks(section);
  key = TrimBlanks(key);
  if (key.empty()) return std::nullopt;
  bool inSection = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = TrimBlanks(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.rfind(']');
      inSection = close != std::string_view::npos &&
                  EqualsIgnoreAsciiCase(TrimBlanks(line.substr(1, close - 1)), section);
      continue;
    }
    if (!inSection) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (EqualsIgnoreAsciiCase(TrimBlanks(line.substr(0, equals)), key)) {
      // A zero byte ends the value, as it ends the C string that Windows hands back.
      const std::string_view value = Unquote(TrimBlanks(line.substr(equals + 1)));
      return std::string(value.substr(0, value.find('\0')));
    }
  }
  return std::nullopt;
}

}  // namespace hostrt
