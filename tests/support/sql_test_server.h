// The SQL Server a test talks to: the one that HOSTRT_TEST_SERVER names ("host,port", with the
// administrator in HOSTRT_TEST_LOGIN and HOSTRT_TEST_PASSWORD), or else a private stand-in.
// Either way the server is reached through client aliases (ConnectTo values of the test's own
// registry file, which HOSTRT_REGISTRY names once start() succeeded); serverName is the first.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/standin_server.h"

namespace testsupport {

struct SqlTestServer {
  SqlTestServer() = default;
  SqlTestServer(const SqlTestServer&) = delete;
  SqlTestServer& operator=(const SqlTestServer&) = delete;
  // Removes the registry file written for a real server.
  ~SqlTestServer();

  // Starts the stand-in when no real server is named; false with `error` set when it cannot.
  bool start(const std::vector<std::string>& aliases = {".", "qdzt"});

  std::string serverName;
  std::string login;
  std::string password;
  std::string error;
  std::unique_ptr<StandinServer> standin;  // null when a real server is used
  std::filesystem::path realServerDir;     // the registry file's folder for a real server
};

}  // namespace testsupport
