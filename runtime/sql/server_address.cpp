#include "runtime/sql/server_address.h"

#include <cctype>
#include <charconv>

#include "runtime/settings/registry.h"
#include "runtime/system/system.h"
#include "runtime/text/ascii.h"

namespace hostrt {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool ParsePort(std::string_view text, int& port) {
  text = Trim(text);
  int value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || value < 1 ||
      value > 65535)
    return false;
  port = value;
  return true;
}

bool IsThisMachine(std::string_view host, std::string_view computerName) {
  return host == "." || EqualsIgnoreAsciiCase(host, "(local)") ||
         EqualsIgnoreAsciiCase(host, "localhost") ||
         (!computerName.empty() && EqualsIgnoreAsciiCase(host, Trim(computerName)));
}

// "host", "host,port" or "host\instance" (also with a "tcp:" prefix).
Status ParseHostPort(std::string_view text, std::string_view computerName, ServerAddress& out,
                     std::string_view origin) {
  text = Trim(text);
  if (text.size() > 4 && EqualsIgnoreAsciiCase(text.substr(0, 4), "tcp:"))
    text = Trim(text.substr(4));
  ServerAddress result;
  std::string_view host = text;
  const size_t comma = text.find(',');
  if (comma != std::string_view::npos) {
    host = Trim(text.substr(0, comma));
    if (!ParsePort(text.substr(comma + 1), result.port)) {
      return Status::BadValue(std::string(origin) + "：“" + std::string(text.substr(comma + 1)) +
                              "” 不是端口号");
    }
  }
  const size_t backslash = host.find('\\');
  if (backslash != std::string_view::npos) {
    result.instance = std::string(Trim(host.substr(backslash + 1)));
    host = Trim(host.substr(0, backslash));
  }
  if (host.empty()) {
    return Status::BadValue(std::string(origin) + "：缺少服务器名");
  }
  result.host = IsThisMachine(host, computerName) ? "127.0.0.1" : std::string(host);
  out = result;
  return Status::Ok();
}

}  // namespace

Status ServerAddress::Resolve(std::string_view serverName, const AliasLookup& alias,
                              std::string_view computerName, ServerAddress& out) {
  const std::string_view name = Trim(serverName);
  if (name.empty()) {
    return Status::BadValue("服务器名（ServerName）为空，没有可连接的服务器");
  }
  std::string value;
  if (alias && alias(name, value)) {
    // "DBMSSOCN,host,port" (TCP/IP); other network libraries cannot be used here.
    const std::string_view data = Trim(value);
    const size_t comma = data.find(',');
    const std::string_view library = Trim(data.substr(0, comma));
    const std::string origin = "客户端别名 " + std::string(name);
    if (!EqualsIgnoreAsciiCase(library, "DBMSSOCN")) {
      return Status::BadValue(origin + " 使用网络库 " + std::string(library) +
                              "，只支持 TCP/IP（DBMSSOCN）");
    }
    if (comma == std::string_view::npos) {
      return Status::BadValue(origin + " 没有指明服务器");
    }
    return ParseHostPort(data.substr(comma + 1), computerName, out, origin);
  }
  return ParseHostPort(name, computerName, out, "服务器名 " + std::string(name));
}

Status ServerAddress::ResolveHere(std::string_view serverName, ServerAddress& out) {
  auto lookup = [](std::string_view name, std::string& value) {
    std::string read;
    if (RegistryGet(kAliasKey, name, read) != 1) return false;
    value = read;
    return true;
  };
  return Resolve(serverName, lookup, ComputerName(), out);
}

}  // namespace hostrt
