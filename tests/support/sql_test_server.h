// The SQL Server a test talks to: the one that HOSTRT_TEST_SERVER names ("host,port", with the
// administrator in HOSTRT_TEST_LOGIN and HOSTRT_TEST_PASSWORD), or else a private stand-in
// reached as "." through the ConnectTo alias of the test's own registry file.
#pragma once

#include <memory>
#include <string>

#include "tests/support/standin_server.h"

namespace testsupport {

struct SqlTestServer {
  // Starts the stand-in when no real server is named; false with `error` set when it cannot.
  bool start();

  std::string serverName;
  std::string login;
  std::string password;
  std::string error;
  std::unique_ptr<StandinServer> standin;  // null when a real server is used
};

}  // namespace testsupport
