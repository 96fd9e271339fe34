#include "tests/support/sql_test_server.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace testsupport {

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

SqlTestServer::~SqlTestServer() {
  if (!realServerDir.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(realServerDir, ignored);
  }
}

bool SqlTestServer::start(const std::vector<std::string>& aliases) {
  if (aliases.empty()) {
    error = "no client alias to reach the server by";
    return false;
  }
  serverName = aliases.front();
  const std::string realServer = Env("HOSTRT_TEST_SERVER");
  if (realServer.empty()) {
    standin = std::make_unique<StandinServer>("Standin#2024", aliases);
    if (!standin->start()) {
      error = standin->error();
      return false;
    }
    login = "sa";
    password = standin->saPassword();
    return true;
  }

  // A real SQL Server, reached through aliases in a registry file of this test's own.
  login = Env("HOSTRT_TEST_LOGIN");
  password = Env("HOSTRT_TEST_PASSWORD");
#ifdef _WIN32
  // The system registry is not the test's to fill: the server is named by its address.
  serverName = realServer;
  return true;
#endif
  realServerDir =
      std::filesystem::temp_directory_path() / ("hostrt-test-server-" + std::to_string(::getpid()));
  std::filesystem::create_directories(realServerDir);
  const std::filesystem::path registry = realServerDir / "registry.reg";
  std::ofstream out(registry, std::ios::binary | std::ios::trunc);
  out << "Windows Registry Editor Version 5.00\r\n\r\n"
      << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\MSSQLServer\\Client\\ConnectTo]\r\n";
  for (const std::string& alias : aliases) {
    out << '"' << alias << "\"=\"DBMSSOCN," << realServer << "\"\r\n";
  }
  out.close();
  if (!out) {
    error = "cannot write " + registry.string();
    return false;
  }
  ::setenv("HOSTRT_REGISTRY", registry.string().c_str(), 1);
  return true;
}

}  // namespace testsupport
