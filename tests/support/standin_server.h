// A private sqlstandin for one test: started on a free port with a fresh data directory and
// sa password, stopped (SIGTERM, then waited for) when the object goes away.
//
//   testsupport::StandinServer server;          // aliases "qdzt" by default
//   ASSERT_TRUE(server.start()) << server.error();
//   // HOSTRT_REGISTRY now names a registry file whose ConnectTo alias "qdzt" (and any added
//   // with addAlias) is "DBMSSOCN,127.0.0.1,<port>"; FREETDSCONF names a freetds.conf with a
//   // server entry "standin"; the connection strings below reach the server through the ODBC
//   // driver.
//   auto r = testsupport::runCommand(server.tsqlCommand(), "select 1\ngo\n");
//
// Link the CMake target standin_test_support. Tests that connect to "." (the default
// instance) call addAlias(".") after start(). freetds.conf names the server "standin" and the
// aliases given to the constructor.
//
// start() waits for the server's "listening on" line (no sleeps) and fails if the program
// exits or does not report within 60 seconds. Not copyable; one server per object. Set
// STANDIN_KEEP_DATA=1 to keep the work directory for a look after a failure, and SQLSTANDIN to
// the path of another sqlstandin build (one with sanitizers, say) to run the tests against it.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

class StandinServer {
 public:
  explicit StandinServer(std::string saPassword = "Standin#2024",
                         std::vector<std::string> aliases = {"qdzt"});
  ~StandinServer();
  StandinServer(const StandinServer&) = delete;
  StandinServer& operator=(const StandinServer&) = delete;

  bool start();
  // Before start(): hand the sa password over in SQLSTANDIN_SA_PASSWORD instead of a file.
  void passPasswordInEnvironment(bool on) { passwordInEnvironment_ = on; }
  pid_t pid() const { return pid_; }
  // Stops the server and starts it again on the same data directory (the port may change;
  // the registry file and freetds.conf are rewritten).
  bool restart() {
    stop();
    return start();
  }
  // SIGTERM and wait; returns the program's exit status (0 on a clean stop, -1 if not running).
  int stop();
  // Kills the server without letting it clean up (for crash-recovery tests).
  void kill();
  const std::string& error() const { return error_; }

  uint16_t port() const { return port_; }
  const std::string& saPassword() const { return saPassword_; }
  // A fresh directory per server, removed by the destructor; dataDir() is inside it.
  const std::filesystem::path& workDir() const { return workDir_; }
  const std::filesystem::path& dataDir() const { return dataDir_; }
  const std::filesystem::path& registryFile() const { return registryFile_; }
  const std::filesystem::path& freetdsConf() const { return freetdsConf_; }

  // Adds a ConnectTo alias for this server to the registry file (written at once).
  void addAlias(const std::string& name);
  // Adds any other value to the registry file: key like
  // "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App", then name and value.
  void setRegistryValue(const std::string& key, const std::string& name, const std::string& value);

  // ODBC connection string through the FreeTDS driver (UTF-8 client character set).
  std::string odbcConnectionString(const std::string& user = "sa",
                                   const std::string& password = "",  // "" means sa's
                                   const std::string& database = "") const;
  static std::string odbcDriverPath();
  static std::string programPath();
  // {"tsql", "-H", "127.0.0.1", "-p", PORT, "-U", user, "-P", password}
  std::vector<std::string> tsqlCommand(const std::string& user = "sa",
                                       const std::string& password = "") const;
  // Environment entries ("NAME=value") for FreeTDS tools: FREETDSCONF and TDSVER.
  std::vector<std::string> clientEnv() const;

 private:
  void writeRegistry();

  std::string saPassword_;
  std::vector<std::string> aliases_;
  std::vector<std::vector<std::string>> extraValues_;  // key, name, value
  std::filesystem::path workDir_, dataDir_, registryFile_, freetdsConf_;
  pid_t pid_ = -1;
  bool passwordInEnvironment_ = false;
  uint16_t port_ = 0;
  std::string error_;
};

}  // namespace testsupport
