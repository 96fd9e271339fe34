// hostrt::ServerAddress: where a transaction object's ServerName points, resolved the way the
// SQL Server client resolves it: first a client alias of that name (registry key
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\MSSQLServer\Client\ConnectTo, value
// "DBMSSOCN,host[,port]"), then ".", "(local)", "localhost" and the computer name mean the
// default instance on this machine (127.0.0.1, port 1433), then "host,port" and "host".
// Resolve() is pure: the alias lookup and the computer name are handed in.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "runtime/text/status.h"

namespace hostrt {

struct ServerAddress {
  std::string host;
  int port = 1433;
  std::string instance;  // "host\instance": a named instance (port found by the driver)

  // Looks up an alias: returns true and sets `value` when `name` has one.
  using AliasLookup = std::function<bool(std::string_view name, std::string& value)>;

  // BadValue with a message for an empty or malformed name or alias (`out` unchanged).
  static Status Resolve(std::string_view serverName, const AliasLookup& alias,
                        std::string_view computerName, ServerAddress& out);

  // Resolve() with the aliases of the registry (hostrt::RegistryGet) and this computer's name.
  static Status ResolveHere(std::string_view serverName, ServerAddress& out);

  static constexpr std::string_view kAliasKey =
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Client\\ConnectTo";
};

}  // namespace hostrt
