#include "tests/support/sql_test_server.h"

#include <cstdlib>

namespace testsupport {

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

bool SqlTestServer::start() {
  if (!Env("HOSTRT_TEST_SERVER").empty()) {
    serverName = Env("HOSTRT_TEST_SERVER");
    login = Env("HOSTRT_TEST_LOGIN");
    password = Env("HOSTRT_TEST_PASSWORD");
    return true;
  }
  standin = std::make_unique<StandinServer>();
  standin->addAlias(".");
  if (!standin->start()) {
    error = standin->error();
    return false;
  }
  serverName = ".";  // through the ConnectTo alias of the test's registry file
  login = "sa";
  password = standin->saPassword();
  return true;
}

}  // namespace testsupport
