#include "runtime/settings/reg_file.h"
#include "runtime/text/ascii.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace hostrt {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The key a "[...]" line opens: nothing for other lines; a key that matches no request for
// "[-...]" (key removal) lines and for unknown roots.
std::optional<std::optional<RegistryKey>> SectionOf(std::string_view line) {
  line = TrimBlanks(line);
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return std::nullopt;
  const std::string_view inside = line.substr(1, line.size() - 2);
  RegistryKey key;
  if (inside.starts_with("-") || !RegistryKey::Parse(inside, key)) {
    return std::optional<RegistryKey>();
  }
  return std::optional<RegistryKey>(key);
}

// Reads a quoted string starting at text[pos] == '"'; pos ends after the closing quote.
bool ReadQuoted(std::string_view text, std::size_t& pos, std::string& out) {
  out.clear();
  for (++pos; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c == '\\' && pos + 1 < text.size()) {
      const char next = text[++pos];
      if (next == 'n') {
        out += '\n';
      } else if (next == 'r') {
        out += '\r';
      } else if (next == '\\' || next == '"') {
        out += next;
      } else {
        out += '\\';
        out += next;
      }
      continue;
    }
    out += c;
  }
  return false;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  out += '"';
  return out;
}

struct ValueLine {
  std::string name;
  RegFile::Lookup kind;
  std::string value;
};

// Parses `"name"="value"`, `@="value"`, `"name"=dword:...`, `"name"=-`.
std::optional<ValueLine> ParseValueLine(std::string_view line) {
  line = TrimBlanks(line);
  ValueLine parsed;
  std::size_t pos = 0;
  if (line.starts_with("@")) {
    pos = 1;
  } else if (!line.starts_with("\"") || !ReadQuoted(line, pos, parsed.name)) {
    return std::nullopt;
  }
  std::string_view rest = TrimBlanks(line.substr(pos));
  if (!rest.starts_with("=")) return std::nullopt;
  rest = TrimBlanks(rest.substr(1));
  std::size_t valuePos = 0;
  if (rest.starts_with("\"") && ReadQuoted(rest, valuePos, parsed.value)) {
    parsed.kind = RegFile::Lookup::kFound;
  } else {
    parsed.kind = rest == "-" ? RegFile::Lookup::kMissing : RegFile::Lookup::kNotString;
    parsed.value.clear();
  }
  return parsed;
}

std::string FormatValueLine(std::string_view name, std::string_view value) {
  std::string line = name.empty() ? std::string("@") : Quote(name);
  line += '=';
  line += Quote(value);
  return line;
}

}  // namespace

RegFile::RegFile(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (line.ends_with("\r")) {
      line.remove_suffix(1);
      if (lines_.empty()) lineEnd_ = "\r\n";
    }
    lines_.emplace_back(line);
    pos = end + 1;
  }
}

RegFile::Lookup RegFile::Get(const RegistryKey& key, std::string_view name,
                             std::string& value) const {
  Lookup result = Lookup::kMissing;
  bool inKey = false;
  for (const std::string& line : lines_) {
    if (const auto section = SectionOf(line)) {
      inKey = section->has_value() && (*section)->SameKey(key);
      continue;
    }
    if (!inKey) continue;
    const std::optional<ValueLine> parsed = ParseValueLine(line);
    if (!parsed || !EqualsIgnoreAsciiCase(parsed->name, name)) continue;
    result = parsed->kind;
    if (result == Lookup::kFound) value = parsed->value;
  }
  return result;
}

bool RegFile::Set(const RegistryKey& key, std::string_view name, std::string_view value) {
  if (name.find('\0') != std::string_view::npos || value.find('\0') != std::string_view::npos) {
    return false;
  }
  const std::string formatted = FormatValueLine(name, value);
  std::optional<std::size_t> lastValue;
  std::optional<std::size_t> sectionEnd;  // index after the last non-blank line of the key
  bool inKey = false;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (const auto section = SectionOf(lines_[i])) {
      inKey = section->has_value() && (*section)->SameKey(key);
      if (inKey) sectionEnd = i + 1;
      continue;
    }
    if (!inKey) continue;
    if (!TrimBlanks(lines_[i]).empty()) sectionEnd = i + 1;
    const std::optional<ValueLine> parsed = ParseValueLine(lines_[i]);
    if (parsed && EqualsIgnoreAsciiCase(parsed->name, name)) lastValue = i;
  }
  if (lastValue) {
    lines_[*lastValue] = formatted;
  } else if (sectionEnd) {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*sectionEnd), formatted);
  } else {
    const bool empty = std::all_of(lines_.begin(), lines_.end(),
                                   [](const std::string& l) { return TrimBlanks(l).empty(); });
    if (empty) {
      lines_.assign({std::string(kHeader)});
    } else {
      while (!lines_.empty() && TrimBlanks(lines_.back()).empty()) lines_.pop_back();
    }
    lines_.emplace_back();
    std::string header = "[";
    header += key.FullName();
    header += ']';
    lines_.push_back(std::move(header));
    lines_.push_back(formatted);
  }
  return true;
}

std::string RegFile::Text() const {
  std::string out;
  for (const std::string& line : lines_) out += line + lineEnd_;
  return out;
}

}  // namespace hostrt
