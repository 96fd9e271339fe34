#include "runtime/sql/db_parm.h"
#include "runtime/text/ascii.h"

#include <cctype>
#include <charconv>

namespace hostrt {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool ParseYesNo(std::string_view value, bool& out) {
  if (EqualsIgnoreAsciiCase(value, "yes") || EqualsIgnoreAsciiCase(value, "y") ||
      EqualsIgnoreAsciiCase(value, "true") || value == "1") {
    out = true;
    return true;
  }
  if (EqualsIgnoreAsciiCase(value, "no") || EqualsIgnoreAsciiCase(value, "n") ||
      EqualsIgnoreAsciiCase(value, "false") || value == "0") {
    out = false;
    return true;
  }
  return false;
}

}  // namespace

Status DbParm::Parse(std::string_view text, DbParm& out) {
  DbParm result;
  size_t pos = 0;
  const size_t n = text.size();
  while (pos < n) {
    // key
    while (pos < n && (IsBlank(text[pos]) || text[pos] == ',')) ++pos;
    if (pos >= n) break;
    size_t keyStart = pos;
    while (pos < n && text[pos] != '=' && text[pos] != ',') ++pos;
    std::string_view key = Trim(text.substr(keyStart, pos - keyStart));
    if (pos >= n || text[pos] != '=') {
      out = DbParm();
      return Status::BadValue("DBParm：" + std::string(key) + " 没有值（应为 Key=Value）");
    }
    ++pos;  // '='
    while (pos < n && IsBlank(text[pos])) ++pos;
    // value: quoted or up to the next comma
    std::string value;
    if (pos < n && (text[pos] == '\'' || text[pos] == '"')) {
      const char quote = text[pos++];
      bool closed = false;
      while (pos < n) {
        if (text[pos] == quote) {
          if (pos + 1 < n && text[pos + 1] == quote) {
            value += quote;
            pos += 2;
            continue;
          }
          ++pos;
          closed = true;
          break;
        }
        value += text[pos++];
      }
      if (!closed) {
        out = DbParm();
        return Status::BadValue("DBParm：" + std::string(key) + " 的值缺少结束引号");
      }
      while (pos < n && IsBlank(text[pos])) ++pos;
      if (pos < n && text[pos] != ',') {
        out = DbParm();
        return Status::BadValue("DBParm：" + std::string(key) + " 的值之后有多余的文字");
      }
    } else {
      size_t valueStart = pos;
      while (pos < n && text[pos] != ',') ++pos;
      value = std::string(Trim(text.substr(valueStart, pos - valueStart)));
    }

    if (EqualsIgnoreAsciiCase(key, "CommitOnDisconnect")) {
      if (!ParseYesNo(Trim(value), result.commitOnDisconnect)) {
        out = DbParm();
        return Status::BadValue("DBParm：CommitOnDisconnect 应为 Yes 或 No，而不是 " + value);
      }
    } else if (EqualsIgnoreAsciiCase(key, "PacketSize")) {
      std::string_view digits = Trim(value);
      int size = 0;
      auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), size);
      if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size() ||
          size < 512 || size > 32767) {
        out = DbParm();
        return Status::BadValue("DBParm：PacketSize 应为 512 到 32767 之间的数，而不是 " + value);
      }
      result.packetSize = size;
    } else if (EqualsIgnoreAsciiCase(key, "AppName")) {
      result.appName = value;
    } else if (EqualsIgnoreAsciiCase(key, "Host")) {
      result.host = value;
    }
    // other keys belong to other interfaces or options we do not use: ignored
  }
  out = result;
  return Status::Ok();
}

}  // namespace hostrt
